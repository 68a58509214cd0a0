// The module's handle, its counts of live COM objects and server locks, and its type library.
#include "platform/win32/module/module.h"

#include <atomic>

#include "platform/win32/failures.h"

// The linker's name for the start of this module's image, which is where its handle points.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace kelmo::win32 {

namespace {
std::atomic<long> objects{0};
std::atomic<long> locks{0};
// Owns one reference, from the first load until unloaded(). A plain pointer: nothing releases
// it at process exit.
std::atomic<ITypeLib*> library{nullptr};

ITypeLib* typeLibrary() {
    if (ITypeLib* loaded = library.load()) return loaded;
    ComPtr<ITypeLib> fresh;
    throwIfFailed(LoadTypeLibEx(thisModulePath().c_str(), REGKIND_NONE, fresh.put()),
                  L"LoadTypeLibEx");
    ITypeLib* first = nullptr;
    if (library.compare_exchange_strong(first, fresh.get())) return fresh.release();
    return first; // another thread was quicker: its copy stays, this one goes
}
} // namespace

HMODULE thisModule() noexcept {
    return reinterpret_cast<HMODULE>(&__ImageBase);
}

std::wstring thisModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(thisModule(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) throwLastError(L"GetModuleFileName");
        if (n < path.size()) return path.substr(0, n);
        path.resize(path.size() * 2);
    }
}

namespace module {

void lock() noexcept {
    ++locks;
}
void unlock() noexcept {
    --locks;
}
void objectCreated() noexcept {
    ++objects;
}
void objectDestroyed() noexcept {
    --objects;
}
bool canUnload() noexcept {
    return objects == 0 && locks == 0;
}

ComPtr<ITypeInfo> typeInfo(REFIID iid) {
    ComPtr<ITypeInfo> info;
    throwIfFailed(typeLibrary()->GetTypeInfoOfGuid(iid, info.put()), L"GetTypeInfoOfGuid");
    return info;
}

void unloaded() noexcept {
    if (ITypeLib* held = library.exchange(nullptr)) held->Release();
}

} // namespace module
} // namespace kelmo::win32

// The module's count of live COM objects and of server locks (DllCanUnloadNow).
#include "platform/win32/comobject.h"

namespace kelmo::win32::module {

namespace {
std::atomic<long> objects{0};
std::atomic<long> locks{0};
} // namespace

long liveObjects() noexcept {
    return objects;
}
void lock() noexcept {
    ++locks;
}
void unlock() noexcept {
    --locks;
}
bool canUnload() noexcept {
    return objects == 0 && locks == 0;
}
void objectCreated() noexcept {
    ++objects;
}
void objectDestroyed() noexcept {
    --objects;
}

} // namespace kelmo::win32::module

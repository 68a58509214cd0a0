// Sound cues on Win32 (winmm): a wave file played without waiting, and the simple beep.
#include <windows.h>

#include <mmsystem.h>

#include "platform/win32/implementations.h"

namespace kelmo::win32 {

namespace {

// A sound played without waiting goes on in a thread of winmm after the call returns, also
// after Kelmo.dll (the one importer of winmm in many hosts) is unloaded: winmm is pinned in the
// process before the first sound, so that unloading Kelmo.dll never unloads it under that thread.
void keepWinmmLoaded() {
    HMODULE winmm = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"winmm.dll", &winmm);
}

class Win32Sound final : public platform::Sound {
public:
    // The Unicode call: a path with characters outside the ANSI code page plays too.
    bool play(const std::wstring& path, std::uint32_t flags) override {
        keepWinmmLoaded();
        return sndPlaySoundW(path.c_str(), flags) != FALSE;
    }

    // The simple system beep (through the speaker when there is no sound device).
    void beep() override { MessageBeep(0xFFFFFFFF); }
};

} // namespace

std::unique_ptr<platform::Sound> makeSound() {
    return std::make_unique<Win32Sound>();
}

} // namespace kelmo::win32

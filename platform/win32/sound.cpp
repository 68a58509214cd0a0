// Sound cues on Win32 (winmm): a wave file played without waiting, and the simple beep.
#include <windows.h>

#include <mmsystem.h>

#include "platform/win32/implementations.h"

namespace kelmo::win32 {

namespace {

class Win32Sound final : public platform::Sound {
public:
    // The Unicode call: a path with characters outside the ANSI code page plays too.
    bool play(const std::wstring& path, std::uint32_t flags) override {
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

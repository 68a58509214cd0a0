// Services shared across the programs of the session: the desktop turn (a named mutex that
// keeps the desktop actions of two scripts from interleaving) and the script languages'
// Integer conversion (VarI2FromStr).
#include <windows.h>

#include <oleauto.h>

#include "base/error.h"
#include "platform/win32/failures.h"
#include "platform/win32/implementations.h"
#include "platform/win32/owned.h"

namespace kelmo::win32 {

namespace {

// One mutex per logon session ("Local\"): every Kelmo object of the session takes its turn
// through it, whatever process hosts it.
constexpr wchar_t DesktopTurnName[] = L"Local\\Kelmo.DesktopTurn";

class Win32DesktopLock final : public platform::DesktopLock {
public:
    Win32DesktopLock() : mutex_(CreateMutexW(nullptr, FALSE, DesktopTurnName)) {
        if (!mutex_) throwLastError(L"CreateMutex");
    }
    // A holder that ended without giving the turn back leaves the mutex abandoned: the turn
    // is then ours.
    bool tryAcquire() override {
        const DWORD result = WaitForSingleObject(mutex_.get(), 0);
        return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    }
    void release() override { ReleaseMutex(mutex_.get()); }

private:
    Handle mutex_;
};

class Win32Conversions final : public platform::Conversions {
public:
    std::int16_t toInteger(const std::wstring& text) override {
        SHORT value = 0;
        const HRESULT hr =
            VarI2FromStr(const_cast<OLECHAR*>(text.c_str()), LOCALE_USER_DEFAULT, 0, &value);
        if (hr == DISP_E_OVERFLOW) errors::raise(errors::Overflow);
        if (FAILED(hr)) errors::raise(errors::TypeMismatch);
        return value;
    }
};

} // namespace

std::unique_ptr<platform::DesktopLock> makeDesktopLock() {
    return std::make_unique<Win32DesktopLock>();
}

std::unique_ptr<platform::Conversions> makeConversions() {
    return std::make_unique<Win32Conversions>();
}

} // namespace kelmo::win32

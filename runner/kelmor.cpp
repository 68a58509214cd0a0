// KelmoR.exe: the window program that drives the Kelmo component by hand. A failure of the
// component (it cannot be created, or a call into it fails) is reported to the user, and the
// program ends.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <iterator>
#include <string>

#include "base/error.h"
#include "runner/runnerwindow.h"

namespace {

constexpr int EndedByFailure = 1;

// The thread's apartment, for as long as the program runs.
class Apartment {
public:
    Apartment() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    ~Apartment() {
        if (initialised_) CoUninitialize();
    }

private:
    bool initialised_;
};

// Script error numbers in decimal, as scripts show them; system failure codes (negative) in
// hexadecimal, as they are documented.
std::wstring numberText(std::int32_t number) {
    if (number >= 0) return std::to_wstring(number);
    wchar_t hex[16] = {};
    swprintf(hex, std::size(hex), L"0x%08X", static_cast<std::uint32_t>(number));
    return hex;
}

int reportFailure(const std::wstring& description, std::int32_t number) {
    const std::wstring text = L"Kelmo でエラーが発生しました。KelmoR を終了します。\r\n\r\n" +
                              description + L"\r\n(エラー番号 " + numberText(number) + L")";
    MessageBoxW(nullptr, text.c_str(), L"KelmoR", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    return EndedByFailure;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    Apartment apartment;
    try {
        kelmo::runner::RunnerWindow window;
        window.run();
        return 0;
    } catch (const kelmo::KelmoError& e) {
        return reportFailure(e.description(), e.number());
    } catch (const std::exception&) {
        return reportFailure(L"Out of memory", 7);
    }
}

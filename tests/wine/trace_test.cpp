// The call trace for real: KELMO_TRACE, or else HKCU\Software\Kelmo\Trace, names the file an
// object made afterwards appends each call to, one UTF-8 line a call.
#include "fixture.h"

#include <regex>

using namespace kelmo::test;

// The calls a trace holds, each line's time stamp and duration dropped and "|" after each.
static std::string calls(const std::wstring& file) {
    const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  (.*)  \(\d+ ms\)\r\n)");
    return std::regex_replace(kelmo::testtools::readFileBytes(file), line, "$1|");
}

TEST_F(ComTest, EachCallIsOneLineInTheFileTheSettingNames) {
    const TempFolder folder(L"trace");
    const std::wstring file = folder / L"trace.txt", other = folder / L"from-the-registry.txt";
    SetEnvironmentVariableW(L"KELMO_TRACE", file.c_str());
    {
        const LateBound k;
        k.put(L"Speed", 101); // no wait for an idle machine
        k.call(L"Popup", {L"\u3042 \"1\"\r\nline 2", 1, Arg::omitted(), 64});
        k.put(L"AppCur", L"abc");
    }
    SetEnvironmentVariableW(L"KELMO_TRACE", nullptr);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kelmo", L"Trace", REG_SZ,
                              other.c_str(), DWORD((other.size() + 1) * sizeof(wchar_t))));
    LateBound().call(L"ODOn");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Kelmo", L"Trace");
    EXPECT_EQ(calls(file), "Speed = 101|"
                           "Popup(\"\xE3\x81\x82 \"\"1\"\"\" & vbCrLf & \"line 2\", 1, , 64) -> -1|"
                           "AppCur = \"abc\"  !! error 13: Type mismatch|");
    EXPECT_EQ(calls(other), "ODOn()|");
}

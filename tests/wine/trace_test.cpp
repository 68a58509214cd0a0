// The call trace for real: KELMO_TRACE, or else HKCU\Software\Kelmo\Trace, names the file an
// object made afterwards appends each call to, one UTF-8 line a call.
#include "fixture.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace {

using namespace kelmo::test;

// The lines of a trace without their time stamps and durations.
std::vector<std::string> calls(const std::wstring& file) {
    std::istringstream text(kelmo::testtools::readFileBytes(file));
    std::vector<std::string> lines;
    const std::regex line(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  (.*)  \(\d+ ms\)\r$)");
    std::smatch match;
    for (std::string read; std::getline(text, read);)
        lines.push_back(std::regex_match(read, match, line) ? match[1].str() : "bad: " + read);
    return lines;
}

using Trace = ComTest;

TEST_F(Trace, EachCallIsOneLineInTheFileTheSettingNames) {
    const TempFolder folder(L"trace");
    const std::wstring file = folder / L"trace.txt", other = folder / L"from-the-registry.txt";
    SetEnvironmentVariableW(L"KELMO_TRACE", file.c_str());
    {
        const LateBound k;
        k.put(L"Speed", Arg(101));
        k.get(L"AppNum");
        k.call(L"Popup", {Arg(L"\u3042 \"1\"\r\nline 2"), Arg(1), Arg::omitted(), Arg(64)});
        k.put(L"AppCur", Arg(L"abc"));
        k.put(L"DefFld", Arg(std::wstring(100, L'x').c_str()));
    }
    SetEnvironmentVariableW(L"KELMO_TRACE", nullptr);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kelmo", L"Trace", REG_SZ,
                              other.c_str(), DWORD((other.size() + 1) * sizeof(wchar_t))));
    LateBound().call(L"ODOn");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Kelmo", L"Trace");
    EXPECT_EQ(calls(file),
              (std::vector<std::string>{
                  "Speed = 101",
                  "AppNum -> 0",
                  "Popup(\"\xE3\x81\x82 \"\"1\"\"\" & vbCrLf & \"line 2\", 1, , 64) -> -1",
                  "AppCur = \"abc\"  !! error 13: Type mismatch",
                  "DefFld = \"" + std::string(60, 'x') + "\xE2\x80\xA6\" (100 chars)",
              }));
    EXPECT_EQ(calls(other), std::vector<std::string>{"ODOn()"});
}

} // namespace

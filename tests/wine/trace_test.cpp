// The call trace for real: KELMO_TRACE, or else HKCU\Software\Kelmo\Trace, names the file an
// object made afterwards appends each call to, one UTF-8 line a call; without either, nothing.
#include "fixture.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace {

using kelmo::test::Arg;
using kelmo::test::LateBound;

class Trace : public kelmo::test::ComTest {
protected:
    void TearDown() override {
        SetEnvironmentVariableW(L"KELMO_TRACE", nullptr);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Kelmo", L"Trace");
    }
    // The lines of the trace without their time stamps and durations.
    std::vector<std::string> calls(const std::wstring& file) const {
        std::istringstream text(kelmo::testtools::readFileBytes(file));
        std::vector<std::string> lines;
        const std::regex line(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  (.*)  \(\d+ ms\)\r$)");
        for (std::string read; std::getline(text, read);) {
            std::smatch match;
            lines.push_back(std::regex_match(read, match, line) ? match[1].str() : "bad: " + read);
        }
        return lines;
    }
    kelmo::test::TempFolder folder{L"trace"};
};

TEST_F(Trace, EachCallIsOneLineInTheFileTheSettingNames) {
    const std::wstring file = folder / L"trace.txt";
    {
        const LateBound untraced;
        untraced.put(L"Atom", Arg(5));
    }
    EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);

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
    const std::wstring other = folder / L"from-the-registry.txt";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kelmo", L"Trace", REG_SZ,
                              other.c_str(), DWORD((other.size() + 1) * sizeof(wchar_t))));
    LateBound(L"Kelmo.CKelmo").call(L"ODOn");

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

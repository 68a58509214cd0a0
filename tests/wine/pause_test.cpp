// The pause box for real: Break and a Pause-key press open "Kelmo_Break", a pilot on a second
// thread reads the exact message and answers it, and the member returns the answer.
#include "fixture.h"
#include "pilot.h"
#include "recorder.h"
#include "toolio.h"

#include <gtest/gtest.h>

#include <string>

using kelmo::test::Arg;
using kelmo::test::fastPacing;
using kelmo::test::LateBound;
using kelmo::testtools::BackgroundPilot;

namespace {

constexpr DWORD BoxTimeoutMs = 15000;

// What the box says: the reason line, then the fixed instructions, then the caller's text.
std::wstring pauseText(const std::wstring& reason, const std::wstring& extra) {
    const std::wstring crlf = L"\r\n", sp = L"\u3000";
    return sp + reason + crlf + L"Kelmoは一時中断されています。" + crlf + crlf +
           L"[中止]ボタンを押すと、実行を完全に中止します。" + crlf + crlf +
           L"実行を再開するには、、、" + crlf + sp +
           L"現在のアプリで必要最小限の操作だけしてください。" + crlf + sp +
           L"現在のアプリを最前面にした直後に" + crlf + sp +
           L"（タスクバーの Kelmo_Break をクリックして）" + crlf + std::wstring(16, L'\u3000') +
           L" [再試行]を押してください。" + crlf + crlf + extra;
}

const std::wstring ByBreak = L"Breakメソッドによって";
const std::wstring ByKey = L"Breakキー（Stopキー）が押されたため";

// Answers the next pause box with the given button; remembers what it said.
struct BoxAnswer {
    int button;
    std::wstring text;
    bool seen = false;
    void operator()() {
        HWND box = kelmo::testtools::waitForWindow(L"Kelmo_Break", BoxTimeoutMs);
        if (!box) return;
        seen = true;
        text = kelmo::testtools::messageBoxText(box);
        kelmo::testtools::clickButton(box, button);
    }
};

class PauseBox : public kelmo::test::ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        GetAsyncKeyState(VK_PAUSE); // no press left over from an earlier test
    }
};

TEST_F(PauseBox, BreakShowsTheExactMessageAndReturnsTheAnswer) {
    LateBound k;
    fastPacing(k);
    for (auto [button, result] : {std::pair{IDRETRY, 2L}, std::pair{IDIGNORE, 3L}}) {
        BoxAnswer answer{button, {}};
        {
            BackgroundPilot pilot([&] { answer(); });
            auto r = k.call(L"Break");
            EXPECT_EQ(S_OK, r.hr);
            EXPECT_EQ(result, r.asLong());
        }
        ASSERT_TRUE(answer.seen);
        EXPECT_EQ(pauseText(ByBreak, L""), answer.text);
    }
}

TEST_F(PauseBox, BreakAppendsItsTextAfterTheFinalLineBreaks) {
    LateBound k;
    fastPacing(k);
    BoxAnswer answer{IDIGNORE, {}};
    {
        BackgroundPilot pilot([&] { answer(); });
        EXPECT_EQ(3, k.call(L"Break", {Arg(L"x")}).asLong());
    }
    EXPECT_EQ(pauseText(ByBreak, L"x"), answer.text);
}

TEST_F(PauseBox, APausePressOpensTheBoxAtTheNextGuardedMember) {
    LateBound k;
    fastPacing(k);
    ASSERT_TRUE(kelmo::testtools::pressKey(VK_PAUSE, 80));
    BoxAnswer answer{IDIGNORE, {}};
    {
        BackgroundPilot pilot([&] { answer(); });
        EXPECT_EQ(0, k.get(L"AppNum").asLong()); // the member goes on after the box
    }
    ASSERT_TRUE(answer.seen);
    EXPECT_EQ(pauseText(ByKey, L""), answer.text);
    // The press was consumed: the next member runs without a box.
    k.get(L"AppCur");
    EXPECT_EQ(nullptr, kelmo::testtools::findWindow(L"Kelmo_Break"));
}

// A script host typing one piece that would take days: a Pause press opens the box while it
// types, and Abort ends the host with no key of the script left down.
TEST_F(PauseBox, APausePressInsideOneLongPieceOpensTheBoxAndAbortLeavesNoKeyHeld) {
    kelmo::test::KeyRecorder recorder;
    ASSERT_TRUE(recorder.ready());
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring script = std::wstring(temp) + L"kelmo-long-piece.js";
    ASSERT_TRUE(kelmo::testtools::writeUtf8File(script,
                                                L"var k = new ActiveXObject('Kelmo.CKelmo');\n"
                                                L"k.Atom = 1; k.Mol1 = 1;\n"
                                                L"k.Send('+{x 99999999}');\n"));
    std::wstring command = L"cscript.exe //nologo \"" + script + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION host{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &host));
    struct Ends {
        PROCESS_INFORMATION& host;
        ~Ends() {
            TerminateProcess(host.hProcess, 1);
            CloseHandle(host.hProcess);
            CloseHandle(host.hThread);
        }
    } ends{host};
    for (int i = 0; i < 500 && recorder.keys().find("v58") == std::string::npos; ++i)
        Sleep(20);
    ASSERT_NE(std::string::npos, recorder.keys().find("v58")) << "the host typed nothing";
    ASSERT_TRUE(kelmo::testtools::pressKey(VK_PAUSE, 80));
    const HWND box = kelmo::testtools::waitForWindow(L"Kelmo_Break", BoxTimeoutMs);
    ASSERT_NE(nullptr, box);
    kelmo::testtools::clickButton(box, IDABORT);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(host.hProcess, BoxTimeoutMs));
    recorder.settle();
    const std::string keys = recorder.keys();
    EXPECT_GT(keys.rfind("^10"), keys.rfind("v10")) << "Shift was left down";
    EXPECT_EQ(0, GetAsyncKeyState(VK_SHIFT) & 0x8000);
    DeleteFileW(script.c_str());
}

TEST_F(PauseBox, APressBeforeTheObjectExistedDoesNotPauseTheFirstCall) {
    ASSERT_TRUE(kelmo::testtools::pressKey(VK_PAUSE, 80));
    LateBound k;
    fastPacing(k);
    bool boxOpened = false;
    {
        BackgroundPilot pilot([&] {
            // Close a box should one wrongly appear, so the test cannot hang.
            HWND box = kelmo::testtools::waitForWindow(L"Kelmo_Break", 1500);
            if (box) {
                boxOpened = true;
                kelmo::testtools::clickButton(box, IDIGNORE);
            }
        });
        k.get(L"AppNum");
    }
    EXPECT_FALSE(boxOpened);
}

} // namespace

// The pause box for real: Break and a Pause-key press open "Kelmo_Break", a pilot on a second
// thread reads it and answers, and the member returns the answer; Abort during a long piece
// ends the script host with no key of the script left down.
#include "fixture.h"
#include "pilot.h"
#include "recorder.h"

#include <string>

using kelmo::test::Arg;
using kelmo::test::LateBound;
using namespace kelmo::testtools;

namespace {

constexpr DWORD BoxTimeoutMs = 15000;

class PauseBox : public kelmo::test::ComTest {
protected:
    PauseBox() {
        GetAsyncKeyState(VK_PAUSE); // no press left over from an earlier test
        kelmo::test::fastPacing(k);
    }
    // Runs `member` while a pilot answers the pause box with `button`; gives what the box said.
    std::wstring answered(int button, const std::function<long()>& member, long result) {
        std::wstring text = L"(no box)";
        BackgroundPilot pilot([&] {
            if (HWND box = waitForWindow(L"Kelmo_Break", BoxTimeoutMs)) {
                text = messageBoxText(box);
                clickButton(box, button);
            }
        });
        EXPECT_EQ(member(), result);
        pilot.join();
        return text;
    }
    LateBound k;
};

// The message is pinned by the unit tests: here its first line and its end.
TEST_F(PauseBox, BreakAndAPausePressOpenTheBoxWithTheirReasonAndTheAnswerComesBack) {
    const std::wstring breakLine = L"\u3000Breakメソッドによって\r\n";
    EXPECT_TRUE(answered(
                    IDRETRY, [&] { return k.call(L"Break").asLong(); }, 2)
                    .starts_with(breakLine));
    const std::wstring withText = answered(
        IDIGNORE, [&] { return k.call(L"Break", {Arg(L"x")}).asLong(); }, 3);
    EXPECT_TRUE(withText.starts_with(breakLine) && withText.ends_with(L"。\r\n\r\nx"));

    ASSERT_TRUE(pressKey(VK_PAUSE, 80));
    EXPECT_TRUE(answered(
                    IDIGNORE, [&] { return k.get(L"AppNum").asLong(); }, 0)
                    .starts_with(L"\u3000Breakキー（Stopキー）が押されたため\r\n"));
    k.get(L"AppCur"); // the press was consumed: no box
    EXPECT_EQ(nullptr, findWindow(L"Kelmo_Break"));
}

// A script host typing one piece that would take days: Abort ends it at once, so the marker
// after Send is never written.
TEST_F(PauseBox, APausePressInsideOneLongPieceOpensTheBoxAndAbortEndsTheHostWithNoKeyHeld) {
    kelmo::test::KeyRecorder recorder;
    ASSERT_TRUE(recorder.ready());
    const kelmo::test::TempFolder folder(L"pause");
    const kelmo::test::Process host(kelmo::test::cscript(
        folder.write(L"long.js", L"var k = new ActiveXObject('Kelmo.CKelmo');\n" +
                                     std::wstring(kelmo::test::FastPacingJs) +
                                     L"k.Send('+{x 99999999}');\n"
                                     L"new ActiveXObject('Scripting.FileSystemObject')"
                                     L".CreateTextFile(WScript.Arguments(0)).Close();\n"),
        L"\"" + folder / L"after-send" + L"\""));
    ASSERT_TRUE(host.started());
    ASSERT_TRUE(waitUntil([&] { return recorder.keys().find("v58") != std::string::npos; }, 10000))
        << "the host typed nothing";
    ASSERT_TRUE(pressKey(VK_PAUSE, 80));
    const HWND box = waitForWindow(L"Kelmo_Break", BoxTimeoutMs);
    ASSERT_NE(nullptr, box);
    clickButton(box, IDABORT);
    EXPECT_TRUE(host.endsWithin(BoxTimeoutMs));
    EXPECT_FALSE(kelmo::testtools::fileExists(folder / L"after-send"));
    recorder.settle();
    const std::string keys = recorder.keys();
    EXPECT_GT(keys.rfind("^10"), keys.rfind("v10")) << "Shift was left down";
    EXPECT_EQ(0, GetAsyncKeyState(VK_SHIFT) & 0x8000);
}

} // namespace

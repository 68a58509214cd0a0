// The pause box for real: Break and a Pause-key press open "Kelmo_Break", a pilot on a second
// thread reads it and answers, and the member returns the answer; Abort during a long piece
// ends the script host with no key of the script left down.
#include "pilot.h"
#include "recorder.h"

#include <functional>
#include <tuple>

using namespace kelmo::test;
using namespace kelmo::testtools;

namespace {

class PauseBox : public ComTest {
protected:
    PauseBox() {
        GetAsyncKeyState(VK_PAUSE); // no press left over from an earlier test
        fastPacing(k);
    }
    LateBound k;
};

// The message is pinned by the unit tests: here its first line and its end.
TEST_F(PauseBox, BreakAndAPausePressOpenTheBoxWithTheirReasonAndTheAnswerComesBack) {
    const std::wstring byBreak = L"\u3000Breakメソッドによって\r\n",
                       byKey = L"\u3000Breakキー（Stopキー）が押されたため\r\n";
    const std::tuple<std::function<long()>, int, long, std::wstring, std::wstring> rows[] = {
        {[&] { return k.call(L"Break").asLong(); }, IDRETRY, 2, byBreak, L""},
        {[&] { return k.call(L"Break", {L"x"}).asLong(); }, IDIGNORE, 3, byBreak, L"。\r\n\r\nx"},
        {[&] { return pressKey(VK_PAUSE, 80) ? k.get(L"AppNum").asLong() : -1; }, IDIGNORE, 0,
         byKey, L""}};
    for (const auto& [member, button, result, starts, ends] : rows) {
        std::wstring text;
        BackgroundPilot pilot([&] {
            if (HWND box = waitForWindow(L"Kelmo_Break", 15000))
                text = messageBoxText(box), clickButton(box, button);
        });
        EXPECT_EQ(member(), result);
        pilot.join();
        EXPECT_TRUE(text.starts_with(starts) && text.ends_with(ends)) << toUtf8(text);
    }
    k.get(L"AppCur"); // the press was consumed: no box
    EXPECT_EQ(nullptr, findWindow(L"Kelmo_Break"));
}

// A script host typing one piece that would take days: Abort ends it at once, so the marker
// after Send is never written.
TEST_F(PauseBox, APausePressInsideOneLongPieceOpensTheBoxAndAbortEndsTheHostWithNoKeyHeld) {
    KeyRecorder recorder;
    ASSERT_TRUE(recorder.ready());
    const TempFolder folder(L"pause");
    const Process host(scriptEndingAt(folder, L"k.Send('+{x 99999999}')"));
    ASSERT_TRUE(waitUntil([&] { return recorder.keys().find("v58") != std::string::npos; }, 10000))
        << "the host typed nothing";
    ASSERT_TRUE(pressKey(VK_PAUSE, 80));
    ASSERT_TRUE(clickButton(waitForWindow(L"Kelmo_Break", 15000), IDABORT));
    EXPECT_TRUE(host.endsWithin(15000));
    EXPECT_FALSE(fileExists(folder / L"after"));
    recorder.settle();
    const std::string keys = recorder.keys();
    EXPECT_GT(keys.rfind("^10"), keys.rfind("v10")) << "Shift was left down";
    EXPECT_EQ(0, GetAsyncKeyState(VK_SHIFT) & 0x8000);
}

} // namespace

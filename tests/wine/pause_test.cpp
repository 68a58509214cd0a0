// The pause box for real: Break and a Pause-key press open "Kelmo_Break", a pilot on a second
// thread reads the exact message and answers it, and the member returns the answer.
#include "fixture.h"
#include "pilot.h"

#include <gtest/gtest.h>

#include <string>

using kelmo::test::Arg;
using kelmo::test::LateBound;
using kelmo::test::fastPacing;
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

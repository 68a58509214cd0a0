// The platform's input box for real: a long Japanese prompt, answered from a second thread by
// the pilot the way a user would (typing and OK, Cancel, Enter, Esc); the box must come up in
// front, centred, with the proposed text selected and the whole prompt in view.
#include "pilot.h"

#include "platform/win32/implementations.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using kelmo::testtools::BackgroundPilot;

namespace {

constexpr DWORD BoxTimeoutMs = 15000;
constexpr int PromptId = 100, EditId = 101;
const std::wstring Title = L"フォルダの確認";

// Far more than one line of the box: it has to wrap, and the box has to grow for it.
std::wstring longJapanesePrompt() {
    const std::wstring crlf = L"\r\n";
    return L"正しいフォルダならそのまま [ OK ]" + crlf + crlf +
           L"      または修正・追加して [ OK ]" + crlf + crlf +
           L"やり直すなら [ ｷｬﾝｾﾙ ] を押してください" + crlf + crlf +
           L"選択したフォルダが存在しない場合は、確認のあとで新しく作成されます。作成できない場合は"
           L"エラーの番号を示すメッセージが表示され、もう一度フォルダを選択することになります。";
}

RECT boundsOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// What the pilot saw of the box before it answered.
struct Seen {
    bool box = false;
    std::wstring prompt, editText;
    DWORD selectionStart = 1, selectionEnd = 0;
    bool topmost = false, foreground = false;
    RECT bounds{}, promptBounds{}, editBounds{}, workArea{};
    int promptNeeds = 0; // the height of the prompt wrapped at the label's width
};

// A window's device context with its font selected, for as long as it lives.
class FontDc {
public:
    explicit FontDc(HWND window) : window_(window), dc_(GetDC(window)) {
        previous_ =
            SelectObject(dc_, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    }
    FontDc(const FontDc&) = delete;
    FontDc& operator=(const FontDc&) = delete;
    ~FontDc() {
        SelectObject(dc_, previous_);
        ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ previous_;
};

// Measured as a label that wraps like an edit control draws its text.
int wrappedHeight(HWND label, const std::wstring& text) {
    RECT client{};
    GetClientRect(label, &client);
    FontDc dc(label);
    RECT measure{0, 0, client.right, 0};
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &measure,
              DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_EXPANDTABS | DT_NOPREFIX);
    return measure.bottom;
}

Seen look(HWND box) {
    Seen seen;
    seen.box = true;
    seen.prompt = kelmo::testtools::windowText(GetDlgItem(box, PromptId));
    HWND edit = GetDlgItem(box, EditId);
    seen.editText = kelmo::testtools::windowText(edit);
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&seen.selectionStart),
                 reinterpret_cast<LPARAM>(&seen.selectionEnd));
    seen.topmost = (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    seen.foreground = GetForegroundWindow() == box;
    seen.bounds = boundsOf(box);
    seen.promptBounds = boundsOf(GetDlgItem(box, PromptId));
    seen.editBounds = boundsOf(edit);
    seen.promptNeeds = wrappedHeight(GetDlgItem(box, PromptId), seen.prompt);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &monitor);
    seen.workArea = monitor.rcWork;
    return seen;
}

// Shows the box on this thread while `answer` runs against it on a pilot thread.
std::wstring askWithPilot(const std::wstring& prompt, const std::wstring& proposed, Seen& seen,
                          std::function<void(HWND)> answer) {
    BackgroundPilot pilot([&] {
        HWND box = kelmo::testtools::waitForWindow(Title, BoxTimeoutMs);
        if (!box) throw std::runtime_error("no input box");
        seen = look(box);
        answer(box);
    });
    std::wstring result = kelmo::win32::makeDialogs()->inputBox(prompt, Title, proposed);
    pilot.join();
    EXPECT_EQ(pilot.failure(), "");
    return result;
}

} // namespace

TEST(InputBox, OkGivesTheEditedTextAndCancelNothing) {
    const std::wstring prompt = longJapanesePrompt(), proposed = L"C:\\Users\\kelmo\\Desktop";
    Seen seen;
    std::wstring typed = L"D:\\作業\\報告書 2026";
    EXPECT_EQ(askWithPilot(prompt, proposed, seen,
                           [&](HWND box) {
                               kelmo::testtools::setControlText(box, EditId, typed);
                               kelmo::testtools::clickButton(box, IDOK);
                           }),
              typed);
    ASSERT_TRUE(seen.box);
    EXPECT_EQ(seen.prompt, prompt);
    EXPECT_EQ(seen.editText, proposed);
    EXPECT_EQ(seen.selectionStart, 0u);
    EXPECT_EQ(seen.selectionEnd, proposed.size());

    EXPECT_EQ(askWithPilot(prompt, proposed, seen,
                           [](HWND box) { kelmo::testtools::clickButton(box, IDCANCEL); }),
              L"");
    EXPECT_EQ(
        askWithPilot(prompt, proposed, seen, [](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); }),
        L"")
        << "the close box cancels";
}

TEST(InputBox, EnterTakesTheProposedTextAndEscCancels) {
    Seen seen;
    EXPECT_EQ(askWithPilot(L"名前", L"既定の名前", seen,
                           [](HWND) { kelmo::testtools::pressKey(VK_RETURN, 50); }),
              L"既定の名前");
    EXPECT_EQ(askWithPilot(L"名前", L"既定の名前", seen,
                           [](HWND) { kelmo::testtools::pressKey(VK_ESCAPE, 50); }),
              L"");
}

TEST(InputBox, ComesUpInFrontCentredWithTheWholePromptInView) {
    Seen seen;
    askWithPilot(longJapanesePrompt(), L"", seen,
                 [](HWND box) { kelmo::testtools::clickButton(box, IDCANCEL); });
    ASSERT_TRUE(seen.box);
    EXPECT_TRUE(seen.topmost);
    EXPECT_TRUE(seen.foreground);
    const RECT& box = seen.bounds;
    const RECT& area = seen.workArea;
    EXPECT_NEAR((box.left + box.right) / 2, (area.left + area.right) / 2, 1);
    EXPECT_NEAR((box.top + box.bottom) / 2, (area.top + area.bottom) / 2, 1);

    // More lines than the box has at first: the prompt grew, and the edit moved below it.
    EXPECT_LE(seen.promptNeeds, seen.promptBounds.bottom - seen.promptBounds.top);
    EXPECT_LE(seen.promptBounds.bottom, seen.editBounds.top);
    EXPECT_LE(seen.editBounds.bottom, box.bottom);
}

// The platform's input box for real, answered by a pilot on a second thread as a user would
// (typing and OK, Cancel, Enter, Esc): it comes up in front, centred, with the
// proposed text selected and the whole of a long Japanese prompt in view.
#include "pilot.h"

#include "platform/win32/implementations.h"
#include "platform/win32/measures.h"

#include <gtest/gtest.h>

using namespace kelmo::testtools;

namespace {

constexpr int PromptId = 100, EditId = 101;

RECT boundsOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

TEST(InputBox, GivesTheEditedTextOrNothingAndComesUpInFrontWithTheWholePrompt) {
    const std::wstring crlf = L"\r\n", proposed = L"C:\\Users\\kelmo\\Desktop",
                       prompt = L"正しいフォルダならそのまま [ OK ]" + crlf + crlf +
                                L"やり直すなら [ ｷｬﾝｾﾙ ] を押してください" + crlf + crlf +
                                std::wstring(12, L'\u3042') + L"。" + std::wstring(120, L'\u3044');
    const struct {
        std::function<void(HWND)> answer;
        std::wstring result;
    } rows[] = {
        {[](HWND box) {
             setControlText(box, EditId, L"D:\\作業\\報告書 2026"), clickButton(box, IDOK);
         },
         L"D:\\作業\\報告書 2026"},
        {[](HWND) { pressKey(VK_RETURN, 50); }, proposed},
        {[](HWND box) { clickButton(box, IDCANCEL); }, L""},
        {[](HWND) { pressKey(VK_ESCAPE, 50); }, L""},
    };
    for (const auto& row : rows) {
        std::wstring shownPrompt, shownText;
        DWORD from = 1, to = 0;
        bool inFront = false;
        RECT box{}, promptBounds{}, edit{};
        int promptNeeds = 0;
        BackgroundPilot pilot([&] {
            HWND dialog = waitForWindow(L"フォルダの確認", 15000);
            if (!dialog) return;
            HWND text = GetDlgItem(dialog, PromptId);
            shownPrompt = windowText(text), shownText = windowText(GetDlgItem(dialog, EditId));
            SendMessageW(GetDlgItem(dialog, EditId), EM_GETSEL, WPARAM(&from), LPARAM(&to));
            inFront = GetForegroundWindow() == dialog &&
                      (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
            box = boundsOf(dialog), promptBounds = boundsOf(text);
            edit = boundsOf(GetDlgItem(dialog, EditId));
            RECT client{};
            GetClientRect(text, &client);
            promptNeeds = kelmo::win32::wrappedHeight(text, shownPrompt, client.right);
            row.answer(dialog);
        });
        EXPECT_EQ(kelmo::win32::makeDialogs()->inputBox(prompt, L"フォルダの確認", proposed),
                  row.result);
        pilot.join();
        EXPECT_EQ(pilot.failure(), "");
        EXPECT_EQ(shownPrompt, prompt);
        EXPECT_EQ(shownText, proposed);
        EXPECT_EQ(from, 0u);
        EXPECT_EQ(to, proposed.size());
        EXPECT_TRUE(inFront);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromRect(&box, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& area = monitor.rcWork;
        EXPECT_NEAR((box.left + box.right) / 2, (area.left + area.right) / 2, 1);
        EXPECT_NEAR((box.top + box.bottom) / 2, (area.top + area.bottom) / 2, 1);
        // More lines than the box has at first: the prompt grew, the edit moved below it.
        EXPECT_LE(promptNeeds, promptBounds.bottom - promptBounds.top);
        EXPECT_LE(promptBounds.bottom, edit.top);
        EXPECT_LE(edit.bottom, box.bottom);
    }
}

} // namespace

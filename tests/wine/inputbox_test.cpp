// The platform's input box for real, answered by a pilot on a second thread as a user would
// (typing and OK, Cancel, Enter, Esc): it comes up in front, centred, with the proposed text
// selected and the whole of a long Japanese prompt in view.
#include "pilot.h"

#include "platform/win32/implementations.h"
#include "platform/win32/measures.h"

#include <gtest/gtest.h>

using namespace kelmo::testtools;

namespace {

RECT boundsOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

TEST(InputBox, GivesTheEditedTextOrNothingAndComesUpInFrontWithTheWholePrompt) {
    const std::wstring proposed = L"C:\\Users\\kelmo\\Desktop", typed = L"D:\\作業\\報告書 2026",
                       prompt = L"正しいフォルダならそのまま [ OK ]\r\n\r\nやり直すなら [ ｷｬﾝｾﾙ ] "
                                L"を押してください\r\n\r\n" +
                                std::wstring(12, L'\u3042') + L"。" + std::wstring(120, L'\u3044');
    const std::pair<std::function<void(HWND)>, std::wstring> rows[] = {
        {[&](HWND box) { setControlText(box, 101, typed), clickButton(box, IDOK); }, typed},
        {[](HWND) { pressKey(VK_RETURN, 50); }, proposed},
        {[](HWND box) { clickButton(box, IDCANCEL); }, L""},
        {[](HWND) { pressKey(VK_ESCAPE, 50); }, L""}};
    for (const auto& [answer, result] : rows) {
        std::wstring shownPrompt, shownText;
        DWORD from = 1, to = 0;
        bool inFront = false;
        RECT box{}, text{}, edit{}, inside{};
        int promptNeeds = 0;
        BackgroundPilot pilot([&] {
            HWND dialog = waitForWindow(L"フォルダの確認", 15000), shown = GetDlgItem(dialog, 100);
            shownPrompt = windowText(shown), shownText = windowText(GetDlgItem(dialog, 101));
            SendMessageW(GetDlgItem(dialog, 101), EM_GETSEL, WPARAM(&from), LPARAM(&to));
            inFront = GetForegroundWindow() == dialog &&
                      (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
            box = boundsOf(dialog), text = boundsOf(shown),
            edit = boundsOf(GetDlgItem(dialog, 101));
            GetClientRect(shown, &inside);
            promptNeeds = kelmo::win32::wrappedHeight(shown, shownPrompt, inside.right);
            answer(dialog);
        });
        EXPECT_EQ(kelmo::win32::makeDialogs()->inputBox(prompt, L"フォルダの確認", proposed),
                  result);
        pilot.join();
        EXPECT_TRUE(shownPrompt == prompt && shownText == proposed && inFront);
        EXPECT_TRUE(from == 0 && to == proposed.size()) << "the proposed text selected";
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromRect(&box, MONITOR_DEFAULTTONEAREST), &monitor);
        const RECT& area = monitor.rcWork;
        EXPECT_NEAR(box.left + box.right, area.left + area.right, 2); // centred
        EXPECT_NEAR(box.top + box.bottom, area.top + area.bottom, 2);
        // More lines than the box has at first: the prompt grew, the edit moved below it.
        EXPECT_TRUE(promptNeeds <= text.bottom - text.top && text.bottom <= edit.top &&
                    edit.bottom <= box.bottom);
    }
}

} // namespace

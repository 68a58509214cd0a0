// The platform's input box for real, answered by a pilot on a second thread as a user would
// (typing and OK, Cancel, Enter, Esc): it comes up in front, centred, with the proposed text
// selected and the whole of a long Japanese prompt in view.
#include "pilot.h"

#include "platform/win32/implementations.h"
#include "platform/win32/measures.h"

#include <gtest/gtest.h>

using namespace kelmo::testtools;

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
        bool inFront = false, promptInView = false;
        RECT box{}, text{}, edit{}, inside{};
        BackgroundPilot pilot([&] {
            HWND dialog = waitForWindow(L"フォルダの確認", 15000);
            HWND shown = GetDlgItem(dialog, 100), typing = GetDlgItem(dialog, 101);
            shownPrompt = windowText(shown), shownText = windowText(typing);
            SendMessageW(typing, EM_GETSEL, WPARAM(&from), LPARAM(&to));
            inFront = GetForegroundWindow() == dialog &&
                      (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
            GetWindowRect(dialog, &box), GetWindowRect(shown, &text), GetWindowRect(typing, &edit);
            GetClientRect(shown, &inside);
            // More lines than the box has at first: the prompt grew, the edit moved below it.
            promptInView = kelmo::win32::wrappedHeight(shown, prompt, inside.right) <=
                               text.bottom - text.top &&
                           text.bottom <= edit.top && edit.bottom <= box.bottom;
            answer(dialog);
        });
        EXPECT_EQ(kelmo::win32::makeDialogs()->inputBox(prompt, L"フォルダの確認", proposed),
                  result);
        pilot.join();
        EXPECT_TRUE(shownPrompt == prompt && shownText == proposed && from == 0 &&
                    to == proposed.size() && inFront && promptInView); // the proposal selected
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromRect(&box, MONITOR_DEFAULTTONEAREST), &monitor);
        EXPECT_NEAR(box.left + box.right, monitor.rcWork.left + monitor.rcWork.right, 2); // centred
        EXPECT_NEAR(box.top + box.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 2);
    }
}

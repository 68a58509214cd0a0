// The timed boxes and the viewer for real, answered by a pilot on a second thread (the scripts
// see their time-outs): what a box says, its default button, a click and Esc; the viewer's text and
// a picture stretched over the window (read off the screen), its clicks, countdown and close
// box, the picture loader's errors, and nothing left behind after many shows.
#include "figures.h"
#include "fixture.h"

#include <functional>
#include <tuple>

using namespace kelmo::test;
using namespace kelmo::testtools;

namespace {

using TimedBoxes = ComTest;

TEST_F(TimedBoxes, SayTheirTextDefaultToTheirButtonAndGiveTheAnswerTheMemberMapsTo) {
    LateBound k;
    fastPacing(k);
    const std::wstring notice = L"30秒以内に答えてください。\r\n"
                                L"時間がくると自動的にデフォルトボタンが押されます。\r\n\r\nQ";
    // Member, arguments, the user's key, the result, what the box says, its default button.
    const std::tuple<const wchar_t*, std::vector<Arg>, WPARAM, long, std::wstring, int> rows[] = {
        {L"Popup", {L"Q", 10, Arg::omitted(), 0}, VK_RETURN, 1, L"Q", IDOK},
        {L"Popup3", {L"Q", 30, 3}, VK_ESCAPE, 3, notice, IDCANCEL}};
    for (const auto& [member, args, key, result, text, defaultButton] : rows) {
        std::wstring shown;
        int defaulted = 0;
        BackgroundPilot pilot([&] {
            HWND box = waitForWindow(std::wstring(L"Kelmo_") + member, 15000);
            shown = messageBoxText(box);
            for (const int id : {IDOK, IDCANCEL, IDYES, IDNO})
                if ((GetWindowLongW(GetDlgItem(box, id), GWL_STYLE) & BS_TYPEMASK) ==
                    BS_DEFPUSHBUTTON)
                    defaulted = id;
            GUITHREADINFO info{}; // the key goes to the control with the focus
            info.cbSize = sizeof info;
            GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info);
            PostMessageW(info.hwndFocus ? info.hwndFocus : box, WM_KEYDOWN, key, 1);
        });
        EXPECT_EQ(k.call(member, args).asLong(), result) << toUtf8(member);
        pilot.join();
        EXPECT_TRUE(shown == text && defaulted == defaultButton) << toUtf8(shown) << defaulted;
    }
}

// A 16 x 8 bitmap of four coloured quarters: red and green above, blue and yellow below.
std::string quartersBitmap() {
    const BITMAPFILEHEADER file{0x4D42, 54 + 16 * 8 * 3, 0, 0, 54};
    const BITMAPINFOHEADER info{sizeof info, 16, 8, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::string bytes = std::string(bytesOf(&file, 1)) + std::string(bytesOf(&info, 1));
    for (int at = 0; at < 16 * 8; ++at) // bottom-up, blue green red
        bytes += at < 64 ? (at % 16 < 8 ? std::string("\xFF\0\0", 3) : std::string("\0\xFF\xFF", 3))
                         : (at % 16 < 8 ? std::string("\0\0\xFF", 3) : std::string("\0\xFF\0", 3));
    return bytes;
}

// The colour on the screen at a fraction of the window's inner area, as red, green, blue
// rounded to 0 or 1.
std::string colourAt(HWND window, double x, double y) {
    RECT inner{};
    GetClientRect(window, &inner);
    POINT p{LONG(inner.right * x), LONG(inner.bottom * y)};
    ClientToScreen(window, &p);
    const kelmo::win32::ScreenDc screen(GetDC(nullptr));
    const COLORREF c = GetPixel(screen.get(), p.x, p.y);
    return {char('0' + GetRValue(c) / 128), char('0' + GetGValue(c) / 128),
            char('0' + GetBValue(c) / 128)};
}

void click(HWND window, UINT message = WM_LBUTTONDOWN) {
    PostMessageW(window, message, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

class Viewer : public ComTest {
protected:
    Viewer() { fastPacing(k); }
    // FrmShow of `path` while `user` acts on the viewer (null when it did not come up, after
    // which every viewer is closed so that the call returns).
    HRESULT show(const std::wstring& path, long nSec, const std::function<void(HWND)>& user) {
        BackgroundPilot pilot([&] {
            const std::wstring caption = path.substr(path.rfind(L'\\') + 1) + L" - frmKelmo [";
            HWND viewer = waitForWindow(caption + path + L"]", 60000); // a picture loads slowly
            user(viewer);
            while (!viewer && (viewer = findWindowWhere([](HWND w) {
                                   return captionOf(w).find(L" - frmKelmo [") != std::wstring::npos;
                               })))
                SendMessageW(std::exchange(viewer, nullptr), WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        return k.call(L"FrmShow", {path.c_str(), nSec}).hr;
    }
    LateBound k;
    TempFolder folder{L"viewer"};
};

TEST_F(Viewer, ShowsTextAndPicturesClosesByClicksCountdownOrCloseBoxAndRefusesBadPictures) {
    const std::pair<std::wstring, std::string> files[] = {{L"notes.TXT", "a\r\nb\rc"},
                                                          {L"PHOTO.BMP", quartersBitmap()}};
    for (const auto& [name, content] : files) {
        std::wstring text = L"(hidden)";
        std::string quarters;
        HWND viewer = nullptr;
        EXPECT_EQ(S_OK, show(folder.write(name, content), 30, [&](HWND shown) {
                      if (!(viewer = shown)) return;
                      Sleep(300); // painted
                      HWND box = FindWindowExW(viewer, nullptr, L"Edit", nullptr);
                      if (IsWindowVisible(box)) text = windowText(box);
                      for (const double y : {0.25, 0.75})
                          for (const double x : {0.25, 0.75})
                              quarters += colourAt(viewer, x, y);
                      click(viewer, WM_LBUTTONDBLCLK);
                  }));
        EXPECT_TRUE(IsWindow(viewer) && !IsWindowVisible(viewer)) << "hidden again, and kept";
        const bool picture = name.ends_with(L"BMP");
        EXPECT_EQ(text, picture ? L"(hidden)" : L"a\r\nb\r\nc\r\n");
        EXPECT_TRUE(!picture || quarters == "100010001110") << quarters; // red green, blue yellow
    }
    // A first click stops the countdown, a second closes; the close box unloads the viewer.
    const std::wstring path = folder.write(L"click.txt", "x");
    bool openAfterWaiting = false, closed = false;
    show(path, 1, [&](HWND viewer) {
        click(FindWindowExW(viewer, nullptr, L"Edit", nullptr)); // as a click on the window
        Sleep(2000);
        openAfterWaiting = IsWindowVisible(viewer);
        click(viewer);
        closed = waitGone(viewer, 5000);
    });
    EXPECT_TRUE(openAfterWaiting && closed);
    HWND first = nullptr;
    show(path, 0, [&](HWND viewer) { PostMessageW(first = viewer, WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_FALSE(IsWindow(first)) << "unloaded";
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(S_OK, show(path, 1, [](HWND) {})); // loaded again, closed by the countdown
    EXPECT_GE(GetTickCount64() - start, 900u);
    const std::pair<std::wstring, SCODE> refused[] = {
        {folder / L"gone.bmp", 0x800A0035},                  // 53
        {folder / L"gone\\gone.bmp", 0x800A004C},            // 76
        {folder.write(L"no.jpg", "no picture"), 0x800A01E1}, // 481
        {folder.write(L"empty.bmp", ""), 0x800A01E1}};
    for (const auto& [path, scode] : refused)
        EXPECT_EQ(scode, k.call(L"FrmShow", {path.c_str()}).scode) << toUtf8(path);
}

// KELMO_VIEWER_SHOWS sets how many shows (1,000 for the figures); the figures are printed.
TEST_F(Viewer, ManyShowsLeaveNothingBehind) {
    const wchar_t* count = _wgetenv(L"KELMO_VIEWER_SHOWS");
    const int shows = count ? _wtoi(count) : 60;
    const std::wstring paths[] = {folder.write(L"many.bmp", quartersBitmap()),
                                  folder.write(L"many.txt", "a\r\nb\r\n")};
    const auto showOnce = [&](int i) {
        return show(paths[i % 2], 30, [](HWND viewer) { click(viewer, WM_LBUTTONDBLCLK); });
    };
    for (int i = 0; i < 20; ++i) // warm-up: the viewer made, libraries loaded
        ASSERT_EQ(S_OK, showOnce(i));
    const Figures before = measure();
    for (int i = 0; i < shows; ++i)
        ASSERT_EQ(S_OK, showOnce(i));
    const Figures after = measure();
    printf("[ figures  ] viewer, %d shows: handles %lu -> %lu, windows %lu -> %lu, "
           "USER %lu -> %lu, GDI %lu -> %lu, private %lu KiB -> %lu KiB\n",
           shows, before.handles, after.handles, before.windows, after.windows, before.user,
           after.user, before.gdi, after.gdi, before.privateKiB, after.privateKiB);
    EXPECT_TRUE(after.handles <= before.handles + 2 && after.windows == before.windows &&
                after.user <= before.user + 2 && after.gdi <= before.gdi + 2 &&
                after.privateKiB <= before.privateKiB + 1024);
}

} // namespace

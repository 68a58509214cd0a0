// The timed boxes and the viewer for real, answered by a pilot on a second thread (the scripts
// see their time-outs): what a box says, its default button, a click and Esc; the viewer's text and
// a picture stretched over the window (read off the screen), its clicks, countdown and close
// box, the picture loader's errors, and nothing left behind after many shows.
#include "fixture.h"
#include "pilot.h"

#include <functional>
#include <string>
#include <vector>

using kelmo::test::Arg;
using kelmo::test::LateBound;
using kelmo::test::TempFolder;
using namespace kelmo::testtools;

namespace {

constexpr DWORD WaitMs = 15000, ViewerWaitMs = 60000; // a picture can take long to load

void escape(HWND box) { // to the control with the focus, as a user's key goes
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info);
    PostMessageW(info.hwndFocus ? info.hwndFocus : box, WM_KEYDOWN, VK_ESCAPE, 1);
}

using TimedBoxes = kelmo::test::ComTest;

TEST_F(TimedBoxes, SayTheirTextDefaultToTheirButtonAndGiveTheAnswerTheMemberMapsTo) {
    LateBound k;
    kelmo::test::fastPacing(k);
    const std::wstring notice = L"秒以内に答えてください。\r\n"
                                L"時間がくると自動的にデフォルトボタンが押されます。\r\n\r\nQ";
    const struct {
        const wchar_t* member;
        std::vector<Arg> args;
        void (*answer)(HWND);
        long result;
        std::wstring text;
        int defaultButton;
    } rows[] = {
        {L"Popup",
         {Arg(L"Q"), Arg(10), Arg::omitted(), Arg(0)},
         [](HWND box) { clickButton(box, IDOK); },
         1,
         L"Q",
         IDOK},
        {L"Popup3", {Arg(L"Q"), Arg(30), Arg(3)}, escape, 3, L"30" + notice, IDCANCEL},
    };
    for (const auto& row : rows) {
        std::wstring text;
        int defaultButton = 0;
        BackgroundPilot pilot([&] {
            HWND box = waitForWindow(std::wstring(L"Kelmo_") + row.member, WaitMs);
            text = messageBoxText(box);
            for (const int id : {IDOK, IDCANCEL, IDYES, IDNO})
                if ((GetWindowLongW(GetDlgItem(box, id), GWL_STYLE) & BS_TYPEMASK) ==
                    BS_DEFPUSHBUTTON)
                    defaultButton = id;
            row.answer(box);
        });
        EXPECT_EQ(k.call(row.member, row.args).asLong(), row.result) << toUtf8(row.member);
        pilot.join();
        EXPECT_EQ(text, row.text);
        EXPECT_EQ(defaultButton, row.defaultButton);
    }
}

// --- the viewer ----------------------------------------------------------------------------

// A 16 x 8 bitmap of four coloured quarters: red and green above, blue and yellow below.
std::string quartersBitmap() {
    BITMAPFILEHEADER file{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    BITMAPINFOHEADER info{sizeof info, 16, 8, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    file.bfSize = file.bfOffBits + 16 * 8 * 3;
    std::string bytes(reinterpret_cast<char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<char*>(&info), sizeof info);
    for (int y = 0; y < 8; ++y) // bottom-up, blue green red
        for (int x = 0; x < 16; ++x)
            bytes += y < 4 ? (x < 8 ? std::string("\xFF\0\0", 3) : std::string("\0\xFF\xFF", 3))
                           : (x < 8 ? std::string("\0\0\xFF", 3) : std::string("\0\xFF\0", 3));
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

class Viewer : public kelmo::test::ComTest {
protected:
    Viewer() { kelmo::test::fastPacing(k); }
    // FrmShow of `path` while `user` acts on the viewer (null when it did not come up, after
    // which every viewer is closed so that the call returns).
    HRESULT show(const std::wstring& path, long nSec, const std::function<void(HWND)>& user) {
        BackgroundPilot pilot([&] {
            const std::wstring caption = path.substr(path.rfind(L'\\') + 1) + L" - frmKelmo [";
            HWND viewer = waitForWindow(caption + path + L"]", ViewerWaitMs);
            user(viewer);
            if (!viewer)
                while (HWND left = findWindowWhere([](HWND w) {
                           return captionOf(w).find(L" - frmKelmo [") != std::wstring::npos;
                       }))
                    SendMessageW(left, WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        return k.call(L"FrmShow", {Arg(path.c_str()), Arg(nSec)}).hr;
    }
    LateBound k;
    TempFolder folder{L"viewer"};
};

TEST_F(Viewer, ShowsTextTheRefusalAndPicturesStretchedOverTheWindow) {
    const struct {
        std::wstring name;
        std::string content;
        std::wstring text;
    } rows[] = {
        {L"notes.TXT", "a\r\nb\rc", L"a\r\nb\r\nc\r\n"},
        {L"PHOTO.BMP", quartersBitmap(), L""},
    };
    for (const auto& row : rows) {
        std::wstring text = L"(hidden)";
        std::string quarters;
        HWND shown = nullptr;
        EXPECT_EQ(S_OK, show(folder.write(row.name, row.content), 30, [&](HWND viewer) {
                      if (!(shown = viewer)) return;
                      Sleep(300); // painted
                      HWND box = FindWindowExW(viewer, nullptr, L"Edit", nullptr);
                      if (IsWindowVisible(box)) text = windowText(box);
                      for (const double y : {0.25, 0.75})
                          for (const double x : {0.25, 0.75})
                              quarters += colourAt(viewer, x, y);
                      click(viewer, WM_LBUTTONDBLCLK);
                  }));
        EXPECT_TRUE(IsWindow(shown) && !IsWindowVisible(shown)) << "hidden again, and kept";
        EXPECT_EQ(text, row.text.empty() ? L"(hidden)" : row.text);
        if (row.text.empty()) {
            EXPECT_EQ(quarters, "100010001110"); // red green, blue yellow
        }
    }
}

TEST_F(Viewer, AFirstClickStopsTheCountdownASecondClosesAndTheCloseBoxUnloads) {
    const std::wstring path = folder.write(L"click.txt", "x");
    for (const long nSec : {0L, 1L}) {
        bool openAfterWaiting = false, closed = false;
        show(path, nSec, [&](HWND viewer) {
            if (!viewer) return;
            if (nSec) click(FindWindowExW(viewer, nullptr, L"Edit", nullptr)); // as the window
            Sleep(2000);
            openAfterWaiting = IsWindowVisible(viewer);
            if (!nSec) click(viewer);
            Sleep(300);
            click(viewer);
            closed = waitGone(viewer, 5000);
        });
        EXPECT_TRUE(openAfterWaiting && closed) << nSec;
    }
    HWND first = nullptr;
    show(path, 0, [&](HWND viewer) {
        first = viewer;
        PostMessageW(viewer, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_FALSE(IsWindow(first)) << "unloaded";
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(S_OK, show(path, 1, [](HWND) {})); // loaded again, closed by the countdown
    EXPECT_GE(GetTickCount64() - start, 900u);
}

TEST_F(Viewer, APictureThatCannotBeLoadedFailsWithTheLoadersNumber) {
    const std::pair<std::wstring, SCODE> rows[] = {
        {folder / L"gone.bmp", 0x800A0035},                  // 53
        {folder / L"gone\\gone.bmp", 0x800A004C},            // 76
        {folder.write(L"no.jpg", "no picture"), 0x800A01E1}, // 481
        {folder.write(L"empty.bmp", ""), 0x800A01E1},
    };
    for (const auto& [path, scode] : rows)
        EXPECT_EQ(scode, k.call(L"FrmShow", {Arg(path.c_str())}).scode) << toUtf8(path);
}

struct Figures {
    unsigned long handles = 0, windows = 0, user = 0, gdi = 0, privateKiB = 0;
};

// Counted directly where not every system fills the process counters (Wine gives 0 for USER
// and GDI objects): open handles by probing, the process's windows, committed private pages.
Figures measure() {
    Figures f;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        f.handles += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    for (HWND window : topLevelWindows()) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        std::vector<HWND> inside;
        EnumChildWindows(window, collectWindow, reinterpret_cast<LPARAM>(&inside));
        if (process == GetCurrentProcessId()) f.windows += 1 + inside.size();
    }
    f.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    f.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            f.privateKiB += region.RegionSize / 1024;
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize < at) break;
    }
    return f;
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
    EXPECT_LE(after.handles, before.handles + 2);
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_LE(after.user, before.user + 2);
    EXPECT_LE(after.gdi, before.gdi + 2);
    EXPECT_LE(after.privateKiB, before.privateKiB + 1024);
}

} // namespace

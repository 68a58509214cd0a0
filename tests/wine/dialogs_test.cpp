// The timed boxes and the content viewer for real, answered by a pilot on a second thread:
// what the boxes say and which button they default to, the answers incl. the time-out and Esc;
// the viewer's text, pictures (stretched over the window, checked on the screen), refusals,
// the countdown and its clicks, the close box, and nothing left behind after many shows.
// With KELMO_SCREENSHOTS set to a folder, the viewer is saved there as viewer-*.bmp.
#include "fixture.h"
#include "pictures.h"
#include "pilot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using kelmo::test::Arg;
using kelmo::test::LateBound;
using kelmo::testtools::BackgroundPilot;
using kelmo::testtools::waitForWindow;

namespace {

constexpr DWORD WaitMs = 15000;
// Loading a picture can take long on a loaded machine.
constexpr DWORD ViewerWaitMs = 60000;
const std::wstring CrLf = L"\r\n";

std::wstring notice(int seconds) {
    return std::to_wstring(seconds) + L"秒以内に答えてください。" + CrLf +
           L"時間がくると自動的にデフォルトボタンが押されます。" + CrLf + CrLf;
}

// The id of the button a box starts with as its default, 0 when none is.
int defaultButtonOf(HWND box) {
    for (const auto& control : kelmo::testtools::children(box))
        if ((GetWindowLongW(control.hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            return control.id;
    return 0;
}

// The key goes to the control that has the focus in the box, as a user's key would.
void pressInBox(HWND box, WPARAM key) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info);
    HWND target = info.hwndFocus ? info.hwndFocus : box;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

struct SeenBox {
    bool seen = false;
    std::wstring text;
    int defaultButton = 0;
};

// Waits for the box titled `title`, reads it, then lets `answer` act on it.
template <typename Answer> SeenBox seeBox(const std::wstring& title, Answer answer) {
    SeenBox seen;
    HWND box = waitForWindow(title, WaitMs);
    if (!box) return seen;
    seen = {true, kelmo::testtools::messageBoxText(box), defaultButtonOf(box)};
    answer(box);
    return seen;
}

class TimedBoxes : public kelmo::test::ComTest {};

TEST_F(TimedBoxes, PopupTimesOutWithMinusOneOrAnswersOkAndOmittedArgumentsTakeDefaults) {
    LateBound k;
    SeenBox seen;
    {
        BackgroundPilot pilot([&] { seen = seeBox(L"Kelmo_Popup", [](HWND) {}); });
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(-1, k.call(L"Popup", {Arg(L"x")}).asLong());
        EXPECT_GE(GetTickCount64() - start, 1500u); // two seconds by default
    }
    EXPECT_TRUE(seen.seen);
    EXPECT_EQ(L"x", seen.text);
    {
        BackgroundPilot pilot([&] {
            seen =
                seeBox(L"Kelmo_Popup", [](HWND box) { kelmo::testtools::clickButton(box, IDOK); });
        });
        EXPECT_EQ(1, k.call(L"Popup", {Arg(L"y"), Arg(10), Arg::omitted(), Arg(0)}).asLong());
    }
    EXPECT_TRUE(seen.seen);
    EXPECT_EQ(L"y", seen.text);
}

TEST_F(TimedBoxes, Popup2SaysHowLongIsLeftDefaultsToItsButtonAndYesIsOne) {
    LateBound k;
    SeenBox seen;
    {
        BackgroundPilot pilot([&] { seen = seeBox(L"Kelmo_Popup2", [](HWND) {}); });
        EXPECT_EQ(2, k.call(L"Popup2", {Arg(L"Q"), Arg(1), Arg(2)}).asLong()); // time-out
    }
    EXPECT_EQ(notice(1) + L"Q", seen.text);
    EXPECT_EQ(IDNO, seen.defaultButton);
    for (int button : {1, 2}) {
        BackgroundPilot pilot([&] {
            seen = seeBox(L"Kelmo_Popup2",
                          [](HWND box) { kelmo::testtools::clickButton(box, IDYES); });
        });
        EXPECT_EQ(1, k.call(L"Popup2", {Arg(L"Q"), Arg(30), Arg(button)}).asLong());
    }
}

TEST_F(TimedBoxes, Popup3ClosedWithEscIsCancel) {
    LateBound k;
    SeenBox seen;
    {
        BackgroundPilot pilot(
            [&] { seen = seeBox(L"Kelmo_Popup3", [](HWND box) { pressInBox(box, VK_ESCAPE); }); });
        EXPECT_EQ(3, k.call(L"Popup3", {Arg(L"Q"), Arg(30), Arg(3)}).asLong());
    }
    EXPECT_EQ(notice(30) + L"Q", seen.text);
    EXPECT_EQ(IDCANCEL, seen.defaultButton);
}

TEST_F(TimedBoxes, AButtonOutsideTheBoxPicksEitherDefaultAtRandom) {
    LateBound k;
    std::vector<long> answers;
    for (int i = 0; i < 24 && (answers.size() < 2 || answers.front() == answers.back()); ++i) {
        SeenBox seen;
        long answer = 0;
        {
            BackgroundPilot pilot([&] {
                seen = seeBox(L"Kelmo_Popup2", [](HWND box) { pressInBox(box, VK_RETURN); });
            });
            answer = k.call(L"Popup2", {Arg(L"Q"), Arg(30), Arg(i % 2 ? 0 : 7)}).asLong();
        }
        ASSERT_TRUE(seen.defaultButton == IDYES || seen.defaultButton == IDNO);
        EXPECT_EQ(seen.defaultButton == IDYES ? 1 : 2, answer); // Enter presses the default
        answers.push_back(answer);
    }
    EXPECT_NE(answers.front(), answers.back());
}

// --- the viewer ----------------------------------------------------------------------------

std::wstring tempFolder() {
    wchar_t path[MAX_PATH];
    GetTempPathW(MAX_PATH, path);
    std::wstring folder = std::wstring(path) + L"kelmo-viewer\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring writeFile(const std::wstring& name, const void* bytes, size_t size) {
    const std::wstring path = tempFolder() + name;
    kelmo::testtools::OwnedHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes, static_cast<DWORD>(size), &written, nullptr);
    return path;
}
std::wstring writeText(const std::wstring& name, const std::string& text) {
    return writeFile(name, text.data(), text.size());
}

std::wstring captionFor(const std::wstring& name, const std::wstring& path) {
    return name + L" - frmKelmo [" + path + L"]";
}

// The viewer showing `caption`. When it does not come in time, every viewer is closed, so
// that a FrmShow that waits for a click returns and the test fails instead of hanging.
HWND waitForViewer(const std::wstring& caption) {
    if (HWND viewer = waitForWindow(caption, ViewerWaitMs)) return viewer;
    for (HWND window : kelmo::testtools::topLevelWindows())
        if (kelmo::testtools::captionOf(window).find(L" - frmKelmo [") != std::wstring::npos)
            PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return nullptr;
}

HWND textBoxOf(HWND viewer) {
    return FindWindowExW(viewer, nullptr, L"Edit", nullptr);
}

void clickOn(HWND window) {
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}
void doubleClickOn(HWND window) {
    clickOn(window);
    PostMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

// Saves what the screen shows of the window as a 24-bit BMP, when screenshots are wanted.
void screenshot(HWND window, const wchar_t* name) {
    const wchar_t* folder = _wgetenv(L"KELMO_SCREENSHOTS");
    if (!folder) return;
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::vector<char> pixels(static_cast<size_t>((width * 3 + 3) & ~3) * height);
    GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
              DIB_RGB_COLORS);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof info;
    header.bfSize = static_cast<DWORD>(header.bfOffBits + pixels.size());
    std::vector<char> file(reinterpret_cast<char*>(&header),
                           reinterpret_cast<char*>(&header) + sizeof header);
    file.insert(file.end(), reinterpret_cast<char*>(&info), reinterpret_cast<char*>(&info + 1));
    file.insert(file.end(), pixels.begin(), pixels.end());
    const std::wstring path = std::wstring(folder) + L"\\" + name;
    kelmo::testtools::OwnedHandle out(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(out.get(), file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// The colour on the screen at a fraction of the window's inner area.
COLORREF colourAt(HWND window, double x, double y) {
    RECT inner{};
    GetClientRect(window, &inner);
    POINT p{static_cast<LONG>(inner.right * x), static_cast<LONG>(inner.bottom * y)};
    ClientToScreen(window, &p);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return colour;
}
bool closeTo(COLORREF colour, int r, int g, int b) {
    return std::abs(GetRValue(colour) - r) < 60 && std::abs(GetGValue(colour) - g) < 60 &&
           std::abs(GetBValue(colour) - b) < 60;
}

struct SeenViewer {
    HWND window = nullptr;
    bool textShown = false;
    std::wstring text;
    bool quarters = false; // the four colours fill the four quarters of the window
};

// Waits for the viewer, reads it, then closes it with a double-click.
SeenViewer seeViewer(const std::wstring& caption, const wchar_t* screenshotName = nullptr) {
    SeenViewer seen;
    seen.window = waitForViewer(caption);
    if (!seen.window) return seen;
    Sleep(300); // painted
    HWND text = textBoxOf(seen.window);
    seen.textShown = text && IsWindowVisible(text);
    if (seen.textShown) seen.text = kelmo::testtools::windowText(text);
    seen.quarters = closeTo(colourAt(seen.window, 0.25, 0.25), 255, 0, 0) &&
                    closeTo(colourAt(seen.window, 0.75, 0.25), 0, 255, 0) &&
                    closeTo(colourAt(seen.window, 0.25, 0.75), 0, 0, 255) &&
                    closeTo(colourAt(seen.window, 0.75, 0.75), 255, 255, 0);
    if (screenshotName) screenshot(seen.window, screenshotName);
    doubleClickOn(seen.window);
    return seen;
}

class Viewer : public kelmo::test::ComTest {};

TEST_F(Viewer, ShowsTheFirstHundredLinesOfTextMarkupAsTextAndRefusesOtherKinds) {
    LateBound k;
    std::string lines, expected;
    for (int i = 1; i <= 150; ++i) {
        lines += "line " + std::to_string(i) + (i % 2 ? "\r\n" : "\r");
        if (i <= 100) expected += "line " + std::to_string(i) + "\r\n";
    }
    const std::string page = "<html><body>\n<b>x</b></body></html>\r\n";
    const std::wstring refusal = L"このファイルは表示できません";
    struct Case {
        std::wstring name;
        std::string content, shown;
    };
    const std::string minified(5000, 'x'), cut(1024, 'x');
    for (const Case& c : {Case{L"notes.TXT", lines, expected}, Case{L"page.html", page, page},
                          Case{L"min.js", minified + "\r\nnext", cut + "\r\nnext\r\n"},
                          Case{L"report.doc", "x", ""}, Case{L"README", "x", ""}}) {
        const std::wstring path = writeText(c.name, c.content);
        SeenViewer seen;
        {
            BackgroundPilot pilot([&] {
                seen = seeViewer(captionFor(c.name, path),
                                 c.name == L"page.html" ? L"viewer-text.bmp" : nullptr);
            });
            EXPECT_EQ(S_OK, k.call(L"FrmShow", {Arg(path.c_str()), Arg(10)}).hr);
        }
        ASSERT_TRUE(seen.window) << c.name.size();
        EXPECT_TRUE(seen.textShown);
        const std::wstring shown(c.shown.begin(), c.shown.end());
        EXPECT_EQ(c.shown.empty() ? refusal : shown, seen.text);
        EXPECT_FALSE(IsWindowVisible(seen.window)); // hidden again, kept
        EXPECT_TRUE(IsWindow(seen.window));
    }
}

TEST_F(Viewer, ShowsPicturesStretchedOverTheWindow) {
    LateBound k;
    const std::wstring jpeg =
        writeFile(L"PHOTO.JPG", kelmo::test::QuartersJpeg, sizeof kelmo::test::QuartersJpeg);
    const std::wstring gif =
        writeFile(L"a.gif", kelmo::test::QuartersGif, sizeof kelmo::test::QuartersGif);
    for (const auto& [name, path] : {std::pair{L"PHOTO.JPG", jpeg}, std::pair{L"a.gif", gif}}) {
        SeenViewer seen;
        {
            BackgroundPilot pilot([&] {
                seen = seeViewer(captionFor(name, path),
                                 name == std::wstring(L"a.gif") ? nullptr : L"viewer-picture.bmp");
            });
            EXPECT_EQ(S_OK, k.call(L"FrmShow", {Arg(path.c_str())}).hr);
        }
        ASSERT_TRUE(seen.window);
        EXPECT_FALSE(seen.textShown);
        EXPECT_TRUE(seen.quarters) << "picture not stretched over the window";
    }
}

TEST_F(Viewer, AFirstClickStopsTheCountdownAndASecondClickCloses) {
    LateBound k;
    const std::wstring path = writeText(L"click.txt", "x\r\n");
    for (int nSec : {0, 1}) {
        bool openAfterWaiting = false, closedBySecondClick = false;
        {
            BackgroundPilot pilot([&] {
                HWND viewer = waitForViewer(captionFor(L"click.txt", path));
                if (!viewer) return;
                if (nSec) clickOn(textBoxOf(viewer)); // Text1 takes clicks as the window does
                Sleep(2000);
                openAfterWaiting = IsWindowVisible(viewer);
                if (!nSec) clickOn(viewer);
                Sleep(300);
                clickOn(viewer);
                Sleep(500);
                closedBySecondClick = !IsWindowVisible(viewer);
            });
            EXPECT_EQ(S_OK, k.call(L"FrmShow", {Arg(path.c_str()), Arg(nSec)}).hr);
        }
        EXPECT_TRUE(openAfterWaiting) << nSec;
        EXPECT_TRUE(closedBySecondClick) << nSec;
    }
}

TEST_F(Viewer, TheCountdownClosesAndTheCloseBoxUnloadsUntilTheNextShow) {
    LateBound k;
    const std::wstring path = writeText(L"close.txt", "x\r\n");
    HWND first = nullptr;
    {
        BackgroundPilot pilot([&] {
            first = waitForViewer(captionFor(L"close.txt", path));
            if (first) PostMessageW(first, WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        EXPECT_EQ(S_OK, k.call(L"FrmShow", {Arg(path.c_str()), Arg(0)}).hr);
    }
    ASSERT_TRUE(first);
    EXPECT_FALSE(IsWindow(first)); // unloaded
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(S_OK, k.call(L"FrmShow", {Arg(path.c_str()), Arg(1)}).hr); // loaded again
    EXPECT_GE(GetTickCount64() - start, 900u);
}

TEST_F(Viewer, RefusedIntervalsAndMissingPicturesFailWithoutShowingAnything) {
    LateBound k;
    const std::wstring path = writeText(L"never.txt", "x\r\n");
    bool shown = false;
    BackgroundPilot pilot([&] { shown = waitForWindow(captionFor(L"never.txt", path), 3000); });
    EXPECT_EQ(static_cast<SCODE>(0x800A0006),
              k.call(L"FrmShow", {Arg(path.c_str()), Arg(33)}).scode);
    EXPECT_EQ(static_cast<SCODE>(0x800A0006),
              k.call(L"FrmShow", {Arg(path.c_str()), Arg(-33)}).scode);
    EXPECT_EQ(static_cast<SCODE>(0x800A0035),
              k.call(L"FrmShow", {Arg((tempFolder() + L"gone.bmp").c_str())}).scode);
    EXPECT_EQ(static_cast<SCODE>(0x800A004C),
              k.call(L"FrmShow", {Arg((tempFolder() + L"gone\\gone.bmp").c_str())}).scode);
    const std::string jpegHead(reinterpret_cast<const char*>(kelmo::test::QuartersJpeg), 160);
    for (const auto& [name, content] : {std::pair{L"notpicture.jpg", std::string("no picture")},
                                        {L"empty.jpg", std::string()},
                                        {L"empty.bmp", std::string()},
                                        {L"corrupt.jpg", jpegHead + std::string(200, 'x')}})
        EXPECT_EQ(static_cast<SCODE>(0x800A01E1), // 481, invalid picture
                  k.call(L"FrmShow", {Arg(writeText(name, content).c_str())}).scode)
            << name;
    pilot.join();
    EXPECT_FALSE(shown);
}

struct Figures {
    DWORD handles = 0, windows = 0, user = 0, gdi = 0;
    SIZE_T privateKiB = 0;
};

BOOL CALLBACK countOwnWindow(HWND window, LPARAM figures) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return TRUE;
    ++reinterpret_cast<Figures*>(figures)->windows;
    return TRUE;
}

// Counted directly where not every system fills the process counters (Wine gives 0 for USER
// and GDI objects): open handles by probing the handle values, the process's windows and
// their children, the committed private pages (where a lost picture or bitmap would show).
Figures measure() {
    Figures f;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++f.handles;
    }
    std::vector<HWND> topLevel = kelmo::testtools::topLevelWindows();
    for (HWND window : topLevel) {
        countOwnWindow(window, reinterpret_cast<LPARAM>(&f));
        EnumChildWindows(window, countOwnWindow, reinterpret_cast<LPARAM>(&f));
    }
    f.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    f.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    MEMORY_BASIC_INFORMATION region{};
    for (const char* address = nullptr;
         VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            f.privateKiB += region.RegionSize / 1024;
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize < address) break;
    }
    return f;
}

// Many shows of a picture and a text leave no handles, windows, USER or GDI objects or memory
// behind. KELMO_VIEWER_SHOWS sets how many (1,000 for the figures); they are printed.
TEST_F(Viewer, ManyShowsLeaveNothingBehind) {
    const wchar_t* count = _wgetenv(L"KELMO_VIEWER_SHOWS");
    const int shows = count ? _wtoi(count) : 60;
    LateBound k;
    const std::wstring picture =
        writeFile(L"many.jpg", kelmo::test::QuartersJpeg, sizeof kelmo::test::QuartersJpeg);
    const std::wstring text = writeText(L"many.txt", "a\r\nb\r\n");
    auto showOnce = [&](const std::wstring& path, const std::wstring& name) {
        BackgroundPilot pilot([&] {
            if (HWND viewer = waitForViewer(captionFor(name, path))) doubleClickOn(viewer);
        });
        return k.call(L"FrmShow", {Arg(path.c_str()), Arg(30)}).hr;
    };
    for (int i = 0; i < 10; ++i) { // warm-up: the viewer made, libraries loaded
        ASSERT_EQ(S_OK, showOnce(picture, L"many.jpg"));
        ASSERT_EQ(S_OK, showOnce(text, L"many.txt"));
    }
    const Figures before = measure();
    for (int i = 0; i < shows; ++i)
        ASSERT_EQ(S_OK, i % 2 ? showOnce(text, L"many.txt") : showOnce(picture, L"many.jpg"));
    const Figures after = measure();
    printf("[ figures  ] viewer, %d shows: handles %lu -> %lu, windows %lu -> %lu, "
           "USER %lu -> %lu, GDI %lu -> %lu, private %lu KiB -> %lu KiB\n",
           shows, before.handles, after.handles, before.windows, after.windows, before.user,
           after.user, before.gdi, after.gdi, static_cast<unsigned long>(before.privateKiB),
           static_cast<unsigned long>(after.privateKiB));
    EXPECT_LE(after.handles, before.handles + 2);
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_LE(after.user, before.user + 2);
    EXPECT_LE(after.gdi, before.gdi + 2);
    EXPECT_LE(after.privateKiB, before.privateKiB + 1024);
}

TEST(SoundCue, AFileThatCannotPlayIsNoError) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    {
        LateBound k;
        EXPECT_EQ(S_OK, k.call(L"Sound", {Arg(L"C:\\no such folder\\none.wav")}).hr);
        EXPECT_EQ(S_OK, k.call(L"Sound", {Arg(L"")}).hr);
    }
    CoUninitialize();
}

} // namespace

// The timed boxes and the viewer for real, answered by a pilot on a second thread: what a box
// says and its default button; the viewer's text, a picture, its clicks, countdown and close box,
// the picture loader's refusals, and nothing left behind after many shows.
#include "figures.h"
#include "fixture.h"

#include <functional>
#include <tuple>

using namespace kelmo::test;
using namespace kelmo::testtools;

namespace {

std::string onePixelBitmap() {
    const BITMAPFILEHEADER file{0x4D42, 58, 0, 0, 54};
    const BITMAPINFOHEADER info{sizeof info, 1, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    return std::string(bytesOf(&file, 1)).append(bytesOf(&info, 1)).append(4, '\0');
}

void click(HWND window, UINT message = WM_LBUTTONDOWN) {
    PostMessageW(window, message, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

class Dialogs : public ComTest {
protected:
    Dialogs() { fastPacing(k); }
    // FrmShow of `path` while `user` acts on the viewer; E_FAIL when it did not come up.
    HRESULT show(const std::wstring& path, long nSec, const std::function<void(HWND)>& user) {
        const std::wstring caption = path.substr(path.rfind(L'\\') + 1) + L" - frmKelmo [";
        HWND viewer = nullptr;
        BackgroundPilot pilot([&] {
            if ((viewer = waitForWindow(caption + path + L"]", 60000))) user(viewer);
        });
        const HRESULT shown = k.call(L"FrmShow", {path.c_str(), nSec}).hr;
        pilot.join();
        return viewer ? shown : E_FAIL;
    }
    LateBound k;
    TempFolder folder{L"viewer"};
};

TEST_F(Dialogs, TimedBoxesSayTheirTextDefaultToTheirButtonAndGiveTheAnswerTheMemberMapsTo) {
    const std::wstring notice = L"30秒以内に答えてください。\r\n"
                                L"時間がくると自動的にデフォルトボタンが押されます。\r\n\r\nQ";
    // Member, arguments, the result of Enter (the default button), what the box says.
    const std::tuple<const wchar_t*, std::vector<Arg>, long, std::wstring> rows[] = {
        {L"Popup", {L"Q", 10, Arg::omitted(), 0}, 1, L"Q"}, {L"Popup3", {L"Q", 30, 3}, 3, notice}};
    for (const auto& [member, args, result, text] : rows) {
        std::wstring shown;
        BackgroundPilot pilot([&] {
            HWND box = waitForWindow(std::wstring(L"Kelmo_") + member, 15000);
            shown = messageBoxText(box);
            PostMessageW(box, WM_KEYDOWN, VK_RETURN, 1);
        });
        EXPECT_EQ(k.call(member, args).asLong(), result) << toUtf8(member);
        pilot.join();
        EXPECT_EQ(shown, text);
    }
}

TEST_F(Dialogs, TheViewerShowsTextAndPicturesClosesByClickCountdownOrCloseBoxAndRefusesBadOnes) {
    // The text in an edit, every line break made CR LF (a picture: the many shows below).
    const std::wstring path = folder.write(L"notes.TXT", "a\r\nb\rc");
    std::wstring shown;
    HWND viewer = nullptr;
    EXPECT_EQ(S_OK, show(path, 30, [&](HWND window) {
                  shown = windowText(FindWindowExW(viewer = window, nullptr, L"Edit", nullptr));
                  click(viewer, WM_LBUTTONDBLCLK);
              }));
    EXPECT_TRUE(IsWindow(viewer) && !IsWindowVisible(viewer) && shown == L"a\r\nb\r\nc\r\n")
        << "shown, hidden again and kept: " << toUtf8(shown);
    // A first click stops the countdown, a second closes; the close box unloads the viewer.
    show(path, 1, [&](HWND viewer) {
        click(FindWindowExW(viewer, nullptr, L"Edit", nullptr)); // as a click on the window
        Sleep(2000);
        EXPECT_TRUE(IsWindowVisible(viewer)) << "the countdown went on";
        click(viewer);
        EXPECT_TRUE(waitGone(viewer, 5000));
    });
    show(path, 30, [&](HWND window) { PostMessageW(viewer = window, WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_FALSE(IsWindow(viewer)) << "unloaded";
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(S_OK, show(path, 1, [](HWND) {})); // loaded again, closed by the countdown
    EXPECT_GE(GetTickCount64() - start, 900u);
    for (const auto& [file, number] :
         {std::pair{folder / L"gone.bmp", 53}, std::pair{folder / L"gone\\gone.bmp", 76},
          std::pair{folder.write(L"no.jpg", "no picture"), 481},
          std::pair{folder.write(L"empty.bmp", ""), 481}})
        EXPECT_EQ(0x800A0000 + number, ULONG(k.call(L"FrmShow", {file.c_str()}).scode));
}

// A picture and a text shown in turn, each closed by a double click.
TEST_F(Dialogs, TheViewerShownManyTimesLeavesNothingBehind) {
    const std::wstring paths[] = {folder.write(L"many.bmp", onePixelBitmap()),
                                  folder.write(L"many.txt", "a\r\nb\r\n")};
    const auto showMany = [&](int count) {
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(S_OK, show(paths[i % 2], 30, [](HWND v) { click(v, WM_LBUTTONDBLCLK); }));
    };
    showMany(20); // warm-up: the viewer made, libraries loaded
    const Figures before = measure();
    showMany(60);
    const Figures after = measure();
    printf("[ figures  ] viewer, 60 shows: handles %lu -> %lu, windows %lu -> %lu, "
           "USER %lu -> %lu, GDI %lu -> %lu, private %lu KiB -> %lu KiB\n",
           before.handles, after.handles, before.windows, after.windows, before.user, after.user,
           before.gdi, after.gdi, before.privateKiB, after.privateKiB);
    EXPECT_TRUE(after.handles <= before.handles + 2 && after.windows == before.windows &&
                after.user <= before.user + 2 && after.gdi <= before.gdi + 2 &&
                after.privateKiB <= before.privateKiB + 1024);
}

} // namespace

// The timed boxes (text, style, title, default button, answers) and the viewer (kind, caption,
// lines, refusals, the interval).
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

class Dialogs : public ::testing::Test {
protected:
    FakePlatform fake;
    CKelmo k{fake.services()};
};

// Popup2 and Popup3: the notice, the style of the default button (iButton, or drawn at random
// outside its range), the answer: Yes 1, No 2, Cancel or Esc 3, the default on time-out.
TEST_F(Dialogs, Popup2And3AskWithTheNoticeAndAnswerTheDefaultButtonOnTimeOut) {
    const std::string notice =
        narrow(L"5秒以内に答えてください。\r\n"
               L"時間がくると自動的にデフォルトボタンが押されます。\r\n\r\n");
    // buttons, iButton, the random number, the answer, the result, the box's style
    const std::tuple<int, std::int16_t, float, std::int32_t, std::int16_t, const char*> rows[] = {
        {2, 2, 0, -1, 2, "65828"},     {2, 1, 0, 7, 2, "65572"},     {2, 0, 0.0f, -1, 1, "65572"},
        {2, 7, 0.99f, -1, 2, "65828"}, {3, 1, 0, 2, 3, "65571"},     {3, 3, 0, 6, 1, "66083"},
        {3, 3, 0, 7, 2, "66083"},      {3, 4, 0.4f, -1, 2, "65827"}, {3, 0, 0.7f, -1, 3, "66083"},
    };
    for (const auto& [buttons, iButton, random, answer, result, style] : rows) {
        fake.log.clear(), fake.clock.randoms.queued = {random};
        fake.objects.popupAnswers.queued = {answer};
        EXPECT_EQ(buttons == 2 ? k.Popup2(L"Q", 5, iButton) : k.Popup3(L"Q", 5, iButton), result)
            << buttons << " " << iButton << " " << answer;
        EXPECT_EQ(fake.log.args("timedBox"),
                  Steps{notice + "Q 5 Kelmo_Popup" + std::to_string(buttons) + " " + style});
    }
}

// Popup passes everything through on a script shell of its own, released even on failure; its
// text is cut after 8192 characters, a pair split by the cut going whole.
TEST_F(Dialogs, PopupPassesEverythingThroughAndBoxTextsAreCutAfter8192Characters) {
    fake.objects.popupAnswers.queued = {1};
    EXPECT_EQ(k.Popup(std::wstring(8191, L'x') + L"\xD800\xDC00！", -5, L"t", 0x12345), 1);
    EXPECT_TRUE(fake.log.args("timedBox").at(0).ends_with(" -5 t 74565"));
    EXPECT_EQ(fake.objects.scriptShells.at(0)->shownText.size(), 8191u); // UTF-16, as on Windows
    fake.log.failures.emplace("timedBox", KelmoError(-2147024891, L"denied"));
    EXPECT_THROW(k.Popup(L"x", 2, L"t", 0), KelmoError);
    for (const auto& shell : fake.objects.scriptShells)
        EXPECT_EQ(shell.use_count(), 1);
}

// The kind by the extension in any case; text files show their first 100 lines, each cut after
// 1,024 characters and ended by CR LF, from no more than 1 MiB; the interval must fit 16 bits
// and be positive; every refusal or failure comes before anything is shown.
TEST_F(Dialogs, FrmShowShowsPicturesTextOrTheRefusalForTheInterval) {
    std::string lines;
    std::wstring first100;
    for (int i = 1; i <= 150; ++i)
        lines += "line " + std::to_string(i) + (i % 2 ? "\r\n" : "\r");
    for (int i = 1; i <= 100; ++i)
        first100 += L"line " + std::to_wstring(i) + L"\r\n";
    fake.textFiles.files = {{L"C:\\notes.TXT", {lines}},
                            {L"C:\\min.js", {std::string(3 << 20, 'x') + "\r\nnext\r\n"}}};
    fake.log.failures.emplace("picture C:\\gone.bmp", KelmoError(-2147024894, L"not found"));
    const std::wstring no = L"このファイルは表示できません";
    const std::string text = "showText, interval 1000, showModal";
    const struct {
        const wchar_t* path;
        std::int16_t nSec;
        std::optional<std::int32_t> error;
        std::string shown;
        std::wstring viewed;
    } rows[] = {
        {L"C:\\PHOTO.JPG", 4, {}, "picture C:\\PHOTO.JPG, interval 4000, showModal", L""},
        {L"C:\\notes.TXT", 32, {}, "showText, interval 32000, showModal", first100},
        {L"C:\\min.js", 1, {}, text, std::wstring(1024, L'x') + L"\r\n"},
        {L"C:\\README", 1, {}, text, no},
        {L"C:\\missing.txt", 1, {}, text, no},
        {L"C:\\gone.bmp", 4, -2147024894, "picture C:\\gone.bmp", L""}, // nothing shown
        {L"C:\\notes.TXT", 33, errors::Overflow, "", L""},
        {L"C:\\notes.TXT", -1, errors::InvalidPropertyValue, "", L""},
    };
    for (const auto& row : rows) {
        fake.log.clear(), fake.viewer.shownText.clear();
        EXPECT_EQ(errorNumberOf([&] { k.FrmShow(row.path, row.nSec); }), row.error) << row.nSec;
        std::string shown;
        for (const auto& entry : fake.log.only({"picture", "showText", "interval", "showModal"}))
            shown += (shown.empty() ? "" : ", ") + entry;
        EXPECT_EQ(shown, row.shown) << narrow(row.path);
        EXPECT_EQ(fake.viewer.shownText, row.viewed) << narrow(row.path);
    }
    k.FrmShow(L"C:\\pics\\a.gif", 4);
    EXPECT_EQ(fake.log.args("caption").back(), "a.gif - frmKelmo [C:\\pics\\a.gif]");
}

} // namespace

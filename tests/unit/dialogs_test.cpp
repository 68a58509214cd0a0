// The timed boxes (text, style, title, default button, answers), the viewer's choices (kind,
// caption, lines, refusals, the interval) and the sound cue, against the fakes; and where the
// lines of a text file end.
#include "component/core/object.h"
#include "component/core/textlines.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

class Dialogs : public ::testing::Test {
protected:
    Steps boxes() const { return fake.log.args("timedBox"); }
    FakePlatform fake;
    CKelmo k{fake.services()};
};

const std::string Notice = narrow(L"秒以内に答えてください。\r\n"
                                  L"時間がくると自動的にデフォルトボタンが押されます。\r\n\r\n");

TEST_F(Dialogs, PopupPassesEverythingThroughOnAScriptShellOfItsOwnReleasedEvenOnFailure) {
    fake.objects.popupAnswers.queued = {1};
    EXPECT_EQ(k.Popup(L"x", 2, L"Kelmo_Popup", 0), 1);
    EXPECT_EQ(k.Popup(L"y", -5, L"t", 0x12345), -1);
    EXPECT_EQ(boxes(), (Steps{"x 2 Kelmo_Popup 0", "y -5 t 74565"}));
    fake.log.failures.emplace("timedBox", KelmoError(-2147024891, L"denied"));
    EXPECT_THROW(k.Popup(L"x", 2, L"t", 0), KelmoError);
    ASSERT_EQ(fake.objects.scriptShells.size(), 3u);
    for (const auto& shell : fake.objects.scriptShells)
        EXPECT_EQ(shell.use_count(), 1);
}

// Popup2 and Popup3: the notice, the style of the default button (iButton, or drawn at random
// outside its range), the answer: Yes 1, No 2, Cancel or Esc 3, the default on time-out.
TEST_F(Dialogs, Popup2And3AskWithTheNoticeAndAnswerTheDefaultButtonOnTimeOut) {
    const struct {
        int buttons;
        std::int16_t iButton;
        float random;
        std::int32_t answer;
        std::int16_t result;
        const char* style;
    } rows[] = {
        {2, 2, 0, -1, 2, "65828"},    {2, 1, 0, -1, 1, "65572"},    {2, 2, 0, 6, 1, "65828"},
        {2, 1, 0, 7, 2, "65572"},     {2, 0, 0.0f, -1, 1, "65572"}, {2, 7, 0.99f, -1, 2, "65828"},
        {2, -1, 0.5f, 2, 2, "65828"}, {3, 1, 0, 2, 3, "65571"},     {3, 3, 0, 6, 1, "66083"},
        {3, 3, 0, 7, 2, "66083"},     {3, 3, 0, -1, 3, "66083"},    {3, 4, 0.4f, -1, 2, "65827"},
        {3, 0, 0.7f, -1, 3, "66083"},
    };
    for (const auto& row : rows) {
        fake.log.clear();
        fake.objects.popupAnswers.queued = {row.answer};
        fake.clock.randoms.queued = {row.random};
        const auto result =
            row.buttons == 2 ? k.Popup2(L"Q", 5, row.iButton) : k.Popup3(L"Q", 5, row.iButton);
        EXPECT_EQ(result, row.result) << row.buttons << " " << row.iButton << " " << row.answer;
        EXPECT_EQ(boxes(), Steps{"5" + Notice + "Q 5 Kelmo_Popup" + std::to_string(row.buttons) +
                                 " " + row.style});
    }
    k.Popup2(L"Q", 0, 1);
    EXPECT_EQ(boxes().back(), "0" + Notice + "Q 0 Kelmo_Popup2 65572");
}

// A surrogate pair across the cut goes whole.
TEST_F(Dialogs, BoxTextsAreCutAfter8192Characters) {
    const std::wstring longText(1'000'000, L'x');
    k.Popup(std::wstring(8191, L'x') + L"\xD83D\xDE00yy", 1, L"t", 0); // UTF-16, as on Windows
    EXPECT_EQ(fake.objects.scriptShells.at(0)->shownText.size(), 8191u);
    fake.objects.scriptShells.clear();
    k.Popup(longText, 1, L"t", 0);
    k.Popup2(longText, 1, 1);
    k.Popup3(longText, 1, 1);
    for (const auto& shell : fake.objects.scriptShells)
        EXPECT_EQ(shell->shownText.size(), 8192u);
    k.Mark(longText);
    k.Break(longText);
    for (const FakeDialogs::Box& box : fake.dialogs.boxes)
        EXPECT_EQ(box.text.size(), 8192u) << narrow(box.title);
}

// The kind by the extension in any case; text files show their first 100 lines, each cut after
// 1,024 characters and ended by CR LF, from no more than 1 MiB; the interval must fit 16 bits
// and be positive; every refusal or failure comes before anything is shown.
TEST_F(Dialogs, FrmShowShowsPicturesTextOrTheRefusalForTheInterval) {
    std::string lines;
    for (int i = 1; i <= 150; ++i)
        lines += "line " + std::to_string(i) + (i % 2 ? "\r\n" : "\r");
    fake.textFiles.files = {{L"C:\\notes.TXT", {lines}},
                            {L"C:\\min.js", {std::string(3 << 20, 'x') + "\r\nnext\r\n"}},
                            {L"C:\\broken.txt", {"a\r\nb\r\n", 3}}};
    fake.log.failures.emplace("picture C:\\gone.bmp", KelmoError(-2147024894, L"not found"));
    const std::wstring refusal = L"このファイルは表示できません";
    const struct {
        const wchar_t* path;
        std::int16_t nSec;
        std::optional<std::int32_t> error;
        const char* shown;
    } rows[] = {
        {L"C:\\PHOTO.JPG", 4, {}, "picture C:\\PHOTO.JPG, interval 4000, showModal"},
        {L"C:\\a.gif", 0, {}, "picture C:\\a.gif, interval 0, showModal"},
        {L"C:\\notes.TXT", 32, {}, "showText, interval 32000, showModal"},
        {L"C:\\gone.bmp", 4, -2147024894, "picture C:\\gone.bmp"}, // nothing shown
        {L"C:\\notes.TXT", 33, errors::Overflow, ""},
        {L"C:\\notes.TXT", -33, errors::Overflow, ""},
        {L"C:\\notes.TXT", -1, errors::InvalidPropertyValue, ""},
    };
    for (const auto& row : rows) {
        fake.log.clear();
        EXPECT_EQ(errorNumberOf([&] { k.FrmShow(row.path, row.nSec); }), row.error) << row.nSec;
        std::string shown;
        for (const auto& entry : fake.log.only({"picture", "showText", "interval", "showModal"}))
            shown += (shown.empty() ? "" : ", ") + entry;
        EXPECT_EQ(shown, row.shown) << narrow(row.path);
    }
    k.FrmShow(L"C:\\pics\\a.gif", 4);
    EXPECT_EQ(fake.log.args("caption").back(), "a.gif - frmKelmo [C:\\pics\\a.gif]");
    std::wstring first100;
    for (int i = 1; i <= 100; ++i)
        first100 += L"line " + std::to_wstring(i) + L"\r\n";
    const std::pair<const wchar_t*, std::wstring> texts[] = {
        {L"C:\\notes.TXT", first100},  {L"C:\\min.js", std::wstring(1024, L'x') + L"\r\n"},
        {L"C:\\report.doc", refusal},  {L"C:\\README", refusal},
        {L"C:\\missing.txt", refusal}, {L"C:\\broken.txt", refusal}};
    for (const auto& [path, shown] : texts) {
        fake.textFiles.bytesRead = 0;
        k.FrmShow(path, 4);
        EXPECT_EQ(fake.viewer.shownText, shown) << narrow(path);
        EXPECT_LE(fake.textFiles.bytesRead, 1u << 20);
    }
    EXPECT_EQ(fake.log.count("open"), fake.log.count("close") + 1); // the missing one only
}

TEST_F(Dialogs, SoundPlaysTheCompletedPathWithoutWaitingAndBeepsWhenItDidNotStart) {
    k.Sound(L"  ding.wav ");
    k.Sound(L"D:\\media\\chime.wav");
    fake.sound.starts = false;
    k.Sound(L"");
    EXPECT_EQ(fake.log.only({"play", "beep"}),
              (Steps{"play C:\\Work\\ding.wav 3", "play D:\\media\\chime.wav 3",
                     "play C:\\Work\\ 3", "beep"}));
}

TEST(TextLines, EndAtCrOrCrLfButNotAtALoneLfWhereverTheBlocksEnd) {
    const std::string bytes = "one\r\ntwo\rthree\nstill three\r\r\nlast";
    const Steps all{"one", "two", "three\nstill three", "", "last"};
    for (const std::size_t blockBytes : {1, 4, 5, 64}) {
        std::size_t next = 0;
        const ReadBytes read = [&](std::size_t maxBytes) {
            const std::string block = bytes.substr(next, std::min(maxBytes, blockBytes));
            next += block.size();
            return block;
        };
        EXPECT_EQ(firstLines(read, {100, SIZE_MAX, SIZE_MAX}), all) << blockBytes;
    }
}

} // namespace

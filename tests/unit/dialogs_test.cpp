// The timed boxes (texts, styles, titles, the default button and the answers), the viewer's
// choices (caption, kind, the first 100 lines, refusals, the 16-bit interval) and the sound
// cue with its beep, against the fakes; and how text-file lines end.
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

TEST_F(Dialogs, PopupPassesEverythingThroughOnAFreshScriptShellEachTime) {
    fake.objects.popupAnswers.queued = {1};
    EXPECT_EQ(k.Popup(L"x", 2, L"Kelmo_Popup", 0), 1);
    EXPECT_EQ(k.Popup(L"y", -5, L"t", 0x12345), -1);
    EXPECT_EQ(boxes(), (Steps{"x 2 Kelmo_Popup 0", "y -5 t 74565"}));
    ASSERT_EQ(fake.objects.scriptShells.size(), 2u);
    EXPECT_EQ(fake.objects.scriptShells[0].use_count(), 1); // released after each box
    EXPECT_EQ(fake.objects.scriptShells[1].use_count(), 1);
}

TEST_F(Dialogs, PopupReleasesTheScriptShellAlsoWhenTheBoxFails) {
    fake.log.failures.emplace("timedBox", KelmoError(-2147024891, L"denied"));
    EXPECT_THROW(k.Popup(L"x", 2, L"t", 0), KelmoError);
    EXPECT_EQ(fake.objects.scriptShells.at(0).use_count(), 1);
}

TEST_F(Dialogs, Popup2AsksWithTheNoticeAndTheChosenDefaultButton) {
    EXPECT_EQ(k.Popup2(L"Q", 5, 2), 2); // time-out: the default
    EXPECT_EQ(k.Popup2(L"Q", 0, 1), 1);
    EXPECT_EQ(boxes(), (Steps{"5" + Notice + "Q 5 Kelmo_Popup2 65828",
                              "0" + Notice + "Q 0 Kelmo_Popup2 65572"}));
    fake.objects.popupAnswers.queued = {6, 7, 6, 7};
    EXPECT_EQ(k.Popup2(L"Q", 5, 2), 1);
    EXPECT_EQ(k.Popup2(L"Q", 5, 1), 2);
    EXPECT_EQ(k.Popup2(L"Q", 5, 1), 1);
    EXPECT_EQ(k.Popup2(L"Q", 5, 2), 2);
}

TEST_F(Dialogs, Popup3MapsCancelAndEscToThreeAndDefaultsToItsButton) {
    fake.objects.popupAnswers.queued = {2, 6, 7, -1};
    EXPECT_EQ(k.Popup3(L"Q", 8, 1), 3);
    EXPECT_EQ(k.Popup3(L"Q", 8, 3), 1);
    EXPECT_EQ(k.Popup3(L"Q", 8, 3), 2);
    EXPECT_EQ(k.Popup3(L"Q", 8, 3), 3);
    const Steps shown = boxes();
    EXPECT_EQ(shown.at(0), "8" + Notice + "Q 8 Kelmo_Popup3 65571");
    EXPECT_EQ(shown.at(3), "8" + Notice + "Q 8 Kelmo_Popup3 66083");
}

TEST_F(Dialogs, AButtonOutsideTheBoxIsChosenAtRandomAndIsTheAnswerOnTimeOut) {
    fake.clock.randoms.queued = {0.0f, 0.99f, 0.5f, 0.4f, 0.7f};
    EXPECT_EQ(k.Popup2(L"Q", 1, 0), 1);
    EXPECT_EQ(k.Popup2(L"Q", 1, 7), 2);
    EXPECT_EQ(k.Popup2(L"Q", 1, -1), 2);
    EXPECT_EQ(k.Popup3(L"Q", 1, 4), 2);
    EXPECT_EQ(k.Popup3(L"Q", 1, 0), 3);
    const Steps shown = boxes();
    EXPECT_TRUE(shown.at(0).ends_with(" 65572"));
    EXPECT_TRUE(shown.at(1).ends_with(" 65828"));
    EXPECT_TRUE(shown.at(4).ends_with(" 66083"));
}

TEST_F(Dialogs, BoxTextsAreCutAfter8192Characters) {
    const std::wstring longText(1'000'000, L'x');
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

class Viewer : public Dialogs {
protected:
    void addTextFile(const std::wstring& path, int lines) {
        auto& file = fake.textFiles.files[path];
        for (int i = 1; i <= lines; ++i)
            file.bytes += "line " + std::to_string(i) + "\r\n";
    }
    static std::wstring numberedLines(int from, int to) {
        std::wstring text;
        for (int i = from; i <= to; ++i)
            text += L"line " + std::to_wstring(i) + L"\r\n";
        return text;
    }
};

TEST_F(Viewer, ShowsPicturesByExtensionWithTheCaptionAndTheInterval) {
    k.FrmShow(L"C:\\pics\\PHOTO.JPG", 4);
    k.FrmShow(L"C:\\pics\\a.gif", 0);
    EXPECT_EQ(
        fake.log.only({"caption", "picture", "showText", "interval", "showModal"}),
        (Steps{"caption PHOTO.JPG - frmKelmo [C:\\pics\\PHOTO.JPG]", "picture C:\\pics\\PHOTO.JPG",
               "interval 4000", "showModal", "caption a.gif - frmKelmo [C:\\pics\\a.gif]",
               "picture C:\\pics\\a.gif", "interval 0", "showModal"}));
}

TEST_F(Viewer, ShowsTheFirstHundredLinesOfATextFileEachWithALineBreak) {
    addTextFile(L"C:\\notes.TXT", 150);
    addTextFile(L"C:\\page.html", 2);
    k.FrmShow(L"C:\\notes.TXT", 4);
    EXPECT_EQ(fake.viewer.shownText, numberedLines(1, 100));
    EXPECT_EQ(fake.log.only({"open", "close"}), (Steps{"open C:\\notes.TXT", "close"}));
    k.FrmShow(L"C:\\page.html", 4);
    EXPECT_EQ(fake.viewer.shownText, numberedLines(1, 2));

    // A line is cut after 1,024 characters; no more than 1 MiB of a file is read.
    fake.textFiles.files[L"C:\\min.js"].bytes = std::string(3 << 20, 'x') + "\r\nnext\r\n";
    fake.textFiles.bytesRead = 0;
    k.FrmShow(L"C:\\min.js", 4);
    EXPECT_EQ(fake.viewer.shownText.size(), 1024u + 2);
    EXPECT_LE(fake.textFiles.bytesRead, 1u << 20);
}

TEST_F(Viewer, RefusesOtherKindsAndFilesThatCannotBeReadWithoutAnError) {
    addTextFile(L"C:\\broken.txt", 10);
    fake.textFiles.files[L"C:\\broken.txt"].unreadableAfter = 3;
    const std::wstring refusal = L"このファイルは表示できません";
    for (const wchar_t* path :
         {L"C:\\report.doc", L"C:\\README", L"C:\\missing.txt", L"C:\\broken.txt"}) {
        k.FrmShow(path, 4);
        EXPECT_EQ(fake.viewer.shownText, refusal) << narrow(path);
    }
    EXPECT_EQ(fake.log.count("showModal"), 4u);
    EXPECT_EQ(fake.log.count("close"), 1u); // the broken file was closed again
}

TEST_F(Viewer, AnIntervalOutsideSixteenBitsOrNegativeFailsBeforeAnythingIsShown) {
    addTextFile(L"C:\\a.txt", 3);
    for (const std::int16_t nSec : {33, -33, 32767}) {
        try {
            k.FrmShow(L"C:\\a.txt", nSec);
            ADD_FAILURE() << nSec;
        } catch (const KelmoError& e) {
            EXPECT_EQ(e.number(), errors::Overflow);
        }
        EXPECT_TRUE(fake.viewer.text.empty()); // the refused call left nothing behind
    }
    EXPECT_EQ(fake.log.count("open"), 0u); // refused before the file is read
    try {
        k.FrmShow(L"C:\\a.txt", -1);
        ADD_FAILURE();
    } catch (const KelmoError& e) {
        EXPECT_EQ(e.number(), errors::InvalidPropertyValue);
    }
    EXPECT_EQ(fake.log.count("showModal"), 0u);
    k.FrmShow(L"C:\\a.txt", 32);
    k.FrmShow(L"C:\\a.txt", -0);
    EXPECT_EQ(fake.log.args("interval"), (Steps{"32000", "0"}));
}

TEST_F(Viewer, APictureThatDoesNotLoadRaisesTheLoadersErrorAndShowsNothing) {
    fake.log.failures.emplace("picture C:\\gone.bmp", KelmoError(-2147024894, L"not found"));
    try {
        k.FrmShow(L"C:\\gone.bmp", 4);
        ADD_FAILURE();
    } catch (const KelmoError& e) {
        EXPECT_EQ(e.number(), -2147024894);
    }
    EXPECT_EQ(fake.log.count("showModal"), 0u);
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

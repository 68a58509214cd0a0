// The object as a whole: creation, calls into it while a member runs, the call trace's lines;
// the browser members, the timed boxes and the viewer.
#include "component/core/calltrace.h"
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

// DefFld is the current directory as it is with a backslash added, WinDrv the Windows folder's
// drive.
TEST(Creation, TakesTheForegroundAsApplicationZeroForgetsThePauseKeyAndLetsTheFileSystemGo) {
    FakePlatform fake;
    fake.windows.front = 7;
    fake.keyboard.pressPause(); // before the object existed: no pause box later
    fake.processes.directory = L"\u3000C:\\W\u3000";
    fake.objects.windowsFolder = L"c:\\windows\\";
    CKelmo k(fake.services());
    EXPECT_EQ(fake.log.entries, (Steps{"seedRandom", "foreground 7", "key 19 1", "curdir",
                                       "create FileSystem", "fs specialFolderPath 0"}));
    EXPECT_EQ(fake.objects.fileSystems.at(0).use_count(), 1); // the factory's reference only
    EXPECT_EQ(k.DefFld() + L" " + k.WinDrv(), L"\u3000C:\\W\u3000\\ c:\\");
}

class AnObject : public ::testing::Test {
protected:
    AnObject() : k(fake.services()) { fake.log.clear(); }
    FakePlatform fake;
    CKelmo k;
};

// A refusal ends with its call, also one that failed.
TEST_F(AnObject, AnActingCallDuringAnotherIsBusyAReadIsAnsweredAndTheOuterCallCompletes) {
    std::vector<std::optional<std::int32_t>> refused;
    std::int16_t appNum = -1;
    fake.clock.onPump = [&] { // once, after the outer call has typed a key
        if (fake.log.count("type") == 0 || !refused.empty()) return;
        for (const auto& nested : std::vector<std::function<void()>>{
                 [&] { k.Send(L"x"); }, [&] { k.Break(L""); }, [&] { k.DefFld(L"D:\\"); },
                 [&] { k.FldFiles(); }}) // no folder yet: it would ask
            refused.push_back(errorNumberOf(nested));
        appNum = k.AppNum();
    };
    k.Send(L"ab");
    EXPECT_EQ(refused, std::vector<std::optional<std::int32_t>>(4, errors::Busy));
    EXPECT_EQ(appNum, 0);
    EXPECT_EQ(fake.log.args("type"), (Steps{"a", "b"}));
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"a{bad}"); }), errors::InvalidCall);
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"b"); }), std::nullopt);
}

TEST_F(AnObject, IENavigatesInOneBrowserUntilItQuitsAfterSevenQuietSamples) {
    const std::wstring longest = L"http://a/" + std::wstring(2074, L'x'); // the browser's limit
    // clang-format off
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L" Http://host/a b ", L"Http://host/a b"}, {L"file:///C:/a.htm", L"file://C:/a.htm"},
        {L"FILE:a.htm", L"file://C:\\Work\\a.htm"}, {L"a.htm", L"C:\\Work\\a.htm"}, {longest, longest}};
    // clang-format on
    for (const auto& [address, navigated] : cases) {
        EXPECT_EQ(k.IE(address, 8), 1);
        EXPECT_EQ(fake.log.args("navigate").back(), narrow(navigated));
    }
    EXPECT_EQ(errorNumberOf([&] { k.IE(longest + L"x", 8); }), errors::InvalidCall);
    EXPECT_EQ(fake.log.count("busy"), 7 * std::size(cases));
    fake.objects.browsers[0]->isBusy.queued = {false, false, true};
    EXPECT_EQ(k.IE(L"http://b/", 3), 1);
    EXPECT_EQ(fake.log.count("busy"), 7 * std::size(cases) + 10);
    EXPECT_EQ(fake.log.args("show"), Steps{"256 3"}); // AppShow(3, 0)

    // After OnQuit IE starts a new browser; a failure ends the run with the launch error box.
    const auto first = fake.objects.browsers[0];
    first->quit();
    EXPECT_EQ(k.IEC(), nullptr);
    EXPECT_FALSE(first->connected());
    EXPECT_EQ(k.IE(L"http://a/", 8), 2);
    k.IEC(nullptr); // emptied by the script while the browser is open
    EXPECT_THROW(k.IE(L"http://a/", 8), RunEnded);
    EXPECT_EQ(fake.dialogs.boxes.at(0).title, L"エラー発生 : 91");
    std::make_unique<CKelmo>(fake.services())->IEC(first); // an object gone lets go of it
    EXPECT_FALSE(first->connected());
}

// IEver reads the number after "MSIE" once found (looking again after finding none); IEtab
// measures with three buttons once, then presses Tab that many times. Both show the address bar.
TEST_F(AnObject, IEverAndIEtabMeasureOnceInAPageOfTheirOwn) {
    EXPECT_EQ(errorNumberOf([&] { k.IEver(); }), errors::ObjectNotSet);
    auto browser = std::make_shared<FakeBrowser>(fake.log);
    k.IEC(browser);
    for (const std::wstring title : {L"x", L"MSIE 6.0", L"MSIE 7.0"})
        browser->title = title, k.IEver();
    EXPECT_EQ(k.IEver(), 6.0f);
    // clang-format off
    const std::pair<std::wstring, float> titles[] = {
        {L"MSIE10.25x", 10.25f}, {L"MSIE -1.5", -1.5f}, {L"MSIE +2", 2}, {L"ab 7.5", 7.5f},
        {L"ab", 0}, {L"MSIE", 0}, {L"MSIE 7;5", 7}, {L"4.0 (msie 5.5", 5.5f}};
    // clang-format on
    for (const auto& [title, version] : titles) {
        CKelmo fresh(fake.services());
        fresh.IEC(browser);
        browser->title = title;
        EXPECT_EQ(fresh.IEver(), version) << narrow(title);
    }
    fake.log.clear();
    for (const auto& [title, count, presses] :
         {std::tuple{L"x", 0, 4}, {L"9", 9, 4 + 4 + 9}, {L"2", 9, 4 + 4 + 9 + 9}}) {
        browser->title = title;
        EXPECT_EQ(k.IEtab(), count);
        const auto& log = fake.log.entries; // three and Ctrl+Tab to measure, then the count
        EXPECT_EQ(std::count(log.begin(), log.end(), "rawkey 9 0 0"), presses);
    }
    EXPECT_EQ(fake.log.args("addressbar"), Steps(3, "1"));
}

// Popup2 and Popup3: the style of the default button (iButton, or drawn at random
// outside its range), the answer: Yes 1, No 2, Cancel or Esc 3, the default on time-out.
TEST_F(AnObject, Popup2And3AskWithTheNoticeAndAnswerTheDefaultButtonOnTimeOut) {
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
        const std::string box = "Q 5 Kelmo_Popup" + std::to_string(buttons) + " " + style;
        EXPECT_TRUE(fake.log.args("timedBox").at(0).ends_with(box)) << box;
    }
}

// Box texts are cut after 8,192 characters; a surrogate pair the cut would split goes whole.
TEST_F(AnObject, BoxTextsAreCutAfter8192Characters) {
    const std::wstring longText(9000, L'x');
    k.Popup(std::wstring(8191, L'x') + L"\xD800\xDC00！", 1, L"t", 0);
    k.Popup(longText, 1, L"t", 0);
    const Steps shown = fake.log.args("timedBox"); // the text up to its first blank
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(std::pair(shown[0].find(' '), shown[1].find(' ')), std::pair(8191ul, 8192ul));
    k.Mark(longText), k.Break(longText);
    for (const FakeDialogs::Box& box : fake.dialogs.boxes)
        EXPECT_EQ(box.text.size(), 8192u) << narrow(box.title);
}

// The kind by the extension in any case; text files show their first 100 lines, each cut after
// 1,024 characters and ended by CR LF, from no more than 1 MiB; the interval must fit 16 bits
// and be positive; every refusal or failure comes before anything is shown.
TEST_F(AnObject, FrmShowShowsPicturesTextOrTheRefusalForTheInterval) {
    std::string lines;
    std::wstring first100;
    for (int i = 1; i <= 150; ++i)
        lines += "line " + std::to_string(i) + (i % 2 ? "\r\n" : "\r");
    for (int i = 1; i <= 100; ++i)
        first100 += L"line " + std::to_wstring(i) + L"\r\n";
    fake.textFiles.files = {{L"C:\\notes.TXT", lines},
                            {L"C:\\min.js", std::string(3 << 20, 'x') + "\r\nnext\r\n"},
                            {L"C:\\lf.htm", "a\rb\nc\r"},
                            {L"C:\\empty.txt", ""}};
    fake.log.failures.emplace("picture C:\\gone.bmp", KelmoError(-2147024894, L"not found"));
    const std::wstring no = L"このファイルは表示できません";
    const std::string text = "showText, interval 1000, showModal";
    using Row = std::tuple<const wchar_t*, std::int16_t, std::optional<std::int32_t>, std::string,
                           std::wstring>; // the path, nSec, the error, what is shown, its text
    const Row rows[] = {
        {L"C:\\PHOTO.JPG", 4, {}, "picture C:\\PHOTO.JPG, interval 4000, showModal", L""},
        {L"C:\\notes.TXT", 32, {}, "showText, interval 32000, showModal", first100},
        {L"C:\\min.js", 1, {}, text, std::wstring(1024, L'x') + L"\r\n"},
        {L"C:\\lf.htm", 1, {}, text, L"a\r\nb\nc\r\n"}, // a lone LF ends no line
        {L"C:\\empty.txt", 1, {}, text, L""},
        {L"C:\\README", 1, {}, text, no},
        {L"C:\\missing.txt", 1, {}, text, no},
        {L"C:\\gone.bmp", 4, -2147024894, "picture C:\\gone.bmp", L""}, // nothing shown
        {L"C:\\notes.TXT", 33, errors::Overflow, "", L""},
        {L"C:\\notes.TXT", -1, errors::InvalidPropertyValue, "", L""},
    };
    for (const auto& [path, nSec, error, shown, viewed] : rows) {
        fake.log.clear(), fake.viewer.shownText.clear();
        EXPECT_EQ(errorNumberOf([&, path = path, nSec = nSec] { k.FrmShow(path, nSec); }), error);
        std::string log;
        for (const auto& entry : fake.log.only({"picture", "showText", "interval", "showModal"}))
            log += (log.empty() ? "" : ", ") + entry;
        EXPECT_EQ(log + " " + narrow(fake.viewer.shownText), shown + " " + narrow(viewed)) << nSec;
    }
    k.FrmShow(L"C:\\pics\\a.gif", 4);
    EXPECT_EQ(fake.log.args("caption").back(), "a.gif - frmKelmo [C:\\pics\\a.gif]");
}

// Texts as a script writes them, long ones shortened, and each kind of call with its outcome.
TEST(CallTrace, ShowsTextsAsAScriptWritesThemAndEachKindOfCallWithItsOutcome) {
    using namespace kelmo::trace;
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"", L"\"\""},
        {L"say \"hi\"\n", L"\"say \"\"hi\"\"\" & vbLf"},
        {L"a\r\nb\tc", L"\"a\" & vbCrLf & \"b\" & vbTab & \"c\""},
        {std::wstring(L"\r\r\n\x1b\0", 5), L"vbCr & vbCrLf & ChrW(27) & vbNullChar"},
        {std::wstring(80, L'a'), L'"' + std::wstring(80, L'a') + L'"'},
        // A surrogate pair is never cut in half.
        {std::wstring(59, L'a') + L"\xD83D\xDE00" + std::wstring(40, L'b'),
         L'"' + std::wstring(59, L'a') + L"…\" (101 chars)"},
    };
    for (const auto& [text, shown] : rows)
        EXPECT_EQ(traceText(text), shown) << shown;
    const std::pair<TracedCall, std::wstring> calls[] = {
        {{L"T", L"Popup", CallKind::Method, {L"\"x\"", L"", L"0"}, L"-1", false, 2000},
         L"T  Popup(\"x\", , 0) -> -1  (2000 ms)\r\n"},
        {{L"T", L"Atom", CallKind::Get, {}, L"10", false, 0}, L"T  Atom -> 10  (0 ms)\r\n"},
        {{L"T", L"FldFiles", CallKind::Get, {L"\"a\""}, L"[object]", false, 1},
         L"T  FldFiles(\"a\") -> [object]  (1 ms)\r\n"},
        {{L"T", L"Atom", CallKind::Put, {L"5"}, L"", false, 0}, L"T  Atom = 5  (0 ms)\r\n"},
        {{L"T", L"Send", CallKind::Method, {L"\"x\""}, traceError(5, L"bad"), true, 3},
         L"T  Send(\"x\")  !! error 5: bad  (3 ms)\r\n"},
    };
    for (const auto& [call, line] : calls)
        EXPECT_EQ(traceLine(call), line);
    EXPECT_EQ(traceError(static_cast<std::int32_t>(0x80020003u), L""), L"error 0x80020003");
}

} // namespace

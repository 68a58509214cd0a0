// The object as a whole: creation, DefFld and WinDrv, error numbers, calls into it from its own
// message pump while a member runs; and the browser members IE, IEver and IEtab.
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
    EXPECT_EQ(k.apps().windows(), std::vector<WindowHandle>{7});
    EXPECT_EQ(fake.objects.fileSystems.at(0).use_count(), 1); // the factory's reference only
    EXPECT_TRUE(fake.dialogs.boxes.empty());
    EXPECT_EQ(k.DefFld() + L" " + k.WinDrv(), L"\u3000C:\\W\u3000\\ c:\\");
}

// A fresh object whose creation is out of the log.
class AnObject : public ::testing::Test {
protected:
    AnObject() : k(fake.services()) { fake.log.clear(); }
    FakePlatform fake;
    CKelmo k;
};

// The pause box is a call too; a refusal ends with its call, also one that failed.
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
    EXPECT_EQ(k.DefFld(), L"C:\\Work\\");
    fake.clock.onPump = nullptr;
    std::optional<std::int32_t> inBox;
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry == "box Kelmo_Break") inBox = errorNumberOf([&] { k.Send(L"x"); });
    };
    EXPECT_EQ(k.Break(L""), 2);
    EXPECT_EQ(inBox, errors::Busy);
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
    EXPECT_EQ(fake.log.count("write"), 2u);
    EXPECT_EQ(fake.log.args("addressbar"), Steps(3, "1"));
}

} // namespace

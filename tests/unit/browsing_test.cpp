// The browser members against the fake browser: IE's address, its one browser and page wait, a new
// browser after OnQuit, the launch error box; IEver and IEtab measured once in a page of their own.
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

class Browsing : public ::testing::Test {
protected:
    Browsing() : k(fake.services()) { fake.log.clear(); }
    FakePlatform fake;
    CKelmo k;
};

TEST_F(Browsing, IENavigatesToThePreparedAddressInOneBrowserAfterSevenQuietSamples) {
    const std::wstring longest = L"http://a/" + std::wstring(2074, L'x'); // the browser's limit
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L" Http://host/a b ", L"Http://host/a b"}, {L"file:///C:/a.htm", L"file://C:/a.htm"},
        {L"FILE:a.htm", L"file://C:\\Work\\a.htm"}, {L"a.htm", L"C:\\Work\\a.htm"},
        {L"about:blank", L"about:blank"},           {longest, longest}};
    for (const auto& [address, navigated] : cases) {
        EXPECT_EQ(k.IE(address, 8), 1);
        EXPECT_EQ(fake.log.args("navigate").back(), narrow(navigated));
    }
    EXPECT_EQ(errorNumberOf([&] { k.IE(longest + L"x", 8); }), errors::InvalidCall);
    EXPECT_EQ(fake.objects.browsers.size(), 1u);
    EXPECT_EQ(fake.log.args("visible"), Steps(std::size(cases), "1"));
    EXPECT_EQ(fake.log.count("busy"), 7 * std::size(cases));
    fake.windows.front = 0x310; // reused after another entry: AppNum's entry takes the front
    k.Exec(L"app", 8);
    fake.objects.browsers[0]->isBusy.queued = {false, false, true};
    EXPECT_EQ(k.IE(L"http://b/", 3), 2);
    EXPECT_EQ(fake.log.count("busy"), 7 * std::size(cases) + 10);
    EXPECT_EQ(k.apps().windows()[2], 0x310u);
    EXPECT_EQ(fake.log.args("show"), Steps{"784 3"}); // AppShow(3, 0)
}

TEST_F(Browsing, AfterOnQuitIEStartsANewBrowserAndAFailureEndsTheRunWithTheLaunchErrorBox) {
    k.IE(L"http://a/", 8);
    const auto first = fake.objects.browsers[0];
    first->quit();
    EXPECT_EQ(k.IEC(), nullptr);
    EXPECT_FALSE(first->connected());
    EXPECT_EQ(k.IE(L"http://a/", 8), 2);
    EXPECT_TRUE(fake.objects.browsers.at(1)->connected());
    k.IEC(nullptr); // emptied by the script while the browser is open
    EXPECT_THROW(k.IE(L"http://a/", 8), RunEnded);
    fake.log.failures.emplace("create Browser", KelmoError(-2147221005, L"no class"));
    k.browser().quit();
    EXPECT_THROW(k.IE(L"http://a/", 8), RunEnded);
    EXPECT_EQ(k.AppNum(), 3); // registered before the browser was asked for
    EXPECT_EQ(fake.dialogs.boxes.at(0).title, L"エラー発生 : 91");
    EXPECT_EQ(fake.dialogs.boxes.at(1).title, L"エラー発生 : -2147221005");
    std::make_unique<CKelmo>(fake.services())->IEC(first); // an object gone lets go of it
    EXPECT_FALSE(first->connected());
}

TEST_F(Browsing, IEverReadsTheNumberAfterMsieOnceAndLooksAgainAfterFindingNone) {
    EXPECT_EQ(errorNumberOf([&] { k.IEver(); }), errors::ObjectNotSet);
    auto browser = std::make_shared<FakeBrowser>(fake.log);
    k.IEC(browser);
    for (const std::wstring title : {L"x", L"MSIE 6.0", L"MSIE 7.0"}) {
        browser->title = title;
        k.IEver();
    }
    EXPECT_EQ(k.IEver(), 6.0f); // measured until found, then remembered
    EXPECT_EQ(fake.log.only({"write", "back", "refresh"}).size(), 2u * 3);
    EXPECT_EQ(fake.log.args("addressbar"), Steps(4, "1")); // shown at every call
    const std::pair<std::wstring, float> titles[] = {{L"4.0 (compatible; msie 5.5; Win98)", 5.5f},
                                                     {L"MSIE 9", 9},
                                                     {L"MSIE10.25x", 10.25f},
                                                     {L"MSIE -1.5", -1.5f},
                                                     {L"MSIE +2", 2},
                                                     {L"ab 7.5", 7.5f},
                                                     {L"ab", 0},
                                                     {L"MSIE", 0},
                                                     {L"MSIE 7;5", 7}};
    for (const auto& [title, version] : titles) {
        CKelmo fresh(fake.services());
        fresh.IEC(browser);
        browser->title = title;
        EXPECT_EQ(fresh.IEver(), version) << narrow(title);
    }
}

TEST_F(Browsing, IEtabMeasuresWithThreeButtonsOnceThenPressesTabThatManyTimes) {
    auto browser = std::make_shared<FakeBrowser>(fake.log);
    k.IEC(browser);
    const auto tabPresses = [&] {
        return std::count(fake.log.entries.begin(), fake.log.entries.end(), "rawkey 9 0 0");
    };
    for (const auto& [title, count, presses] :
         {std::tuple{L"x", 0, 4}, {L"9", 9, 4 + 4 + 9}, {L"2", 9, 4 + 4 + 9 + 9}}) {
        browser->title = title;
        EXPECT_EQ(k.IEtab(), count);
        EXPECT_EQ(tabPresses(), presses); // three and Ctrl+Tab to measure, then the count
    }
    EXPECT_EQ(fake.log.count("write"), 2u);
    EXPECT_EQ(fake.log.args("addressbar"), Steps(3, "1"));
}

TEST_F(Browsing, AnObjectGoneDisconnectsItsBrowser) {
    auto browser = std::make_shared<FakeBrowser>(fake.log);
    std::make_unique<CKelmo>(fake.services())->IEC(browser);
    EXPECT_FALSE(browser->connected());
}

} // namespace

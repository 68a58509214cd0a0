// The object as a whole: what creating it asks the platform for, DefFld and WinDrv, the failures
// that leave no object, the error numbers clients receive; and calls into it from its own message
// pump while a member runs: one that acts is refused as busy until the call ends, one that reads
// is answered.
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

TEST(Creation, TakesTheForegroundAsApplicationZeroForgetsThePauseKeyAndLetsTheFileSystemGo) {
    FakePlatform fake;
    fake.windows.front = 7;
    fake.keyboard.pressPause(); // before the object existed: no pause box later
    CKelmo k(fake.services());
    EXPECT_EQ(fake.log.entries, (Steps{"seedRandom", "foreground 7", "key 19 1", "curdir",
                                       "create FileSystem", "fs specialFolderPath 0"}));
    EXPECT_EQ(k.apps().windows(), std::vector<WindowHandle>{7});
    EXPECT_EQ(k.IEC(), nullptr);
    EXPECT_FALSE(k.holdsFileSystem());
    EXPECT_EQ(fake.objects.fileSystems.at(0).use_count(), 1); // the factory's reference only
    const auto fs = k.FS();
    EXPECT_EQ(fs, fake.objects.fileSystems.at(1));
    EXPECT_EQ(k.FS(), fs);
    EXPECT_TRUE(fake.dialogs.boxes.empty());
}

TEST(Creation, CompletesTheCurrentDirectoryAsDefFldAndTakesWinDrvFromTheWindowsFolder) {
    const std::wstring cases[][4] = {
        // current directory, DefFld, Windows folder, WinDrv
        {L"C:\\Work", L"C:\\Work\\", L"D:\\WINNT", L"D:\\"},
        {L"  C:\\  ", L"C:\\", L"c:\\windows\\", L"c:\\"},
        {L"\u3000C:\\Work\u3000", L"\u3000C:\\Work\u3000\\", L"E:\\", L"E:\\"},
    };
    for (const auto& [directory, defFld, windowsFolder, winDrv] : cases) {
        FakePlatform fake;
        fake.processes.directory = directory;
        fake.objects.windowsFolder = windowsFolder;
        CKelmo k(fake.services());
        EXPECT_EQ(k.DefFld(), defFld);
        EXPECT_EQ(k.WinDrv(), winDrv);
    }
}

TEST(Creation, FailsWithTheErrorOfTheFileSystemObject) {
    for (const char* step : {"create FileSystem", "fs specialFolderPath"}) {
        FakePlatform fake;
        fake.log.failures.emplace(step, KelmoError(-2147221164, L"not registered"));
        EXPECT_EQ(errorNumberOf([&] { CKelmo k(fake.services()); }), -2147221164) << step;
    }
}

TEST(ErrorNumbers, ClassicNumbersBecomeAutomationScodesAndHresultsStayAsTheyAre) {
    EXPECT_EQ(automationScode(0xFFFF), static_cast<std::int32_t>(0x800AFFFFu));
    EXPECT_EQ(automationScode(0), 0);
    EXPECT_EQ(automationScode(-2147221164), -2147221164);
}

class Reentry : public ::testing::Test {
protected:
    Reentry() : k(fake.services()) { fake.log.clear(); }

    FakePlatform fake;
    CKelmo k;
};

TEST_F(Reentry, AnActingCallDuringAnotherIsBusyAReadIsAnsweredAndTheOuterCallCompletes) {
    std::vector<std::optional<std::int32_t>> refused;
    std::int16_t appNum = -1;
    fake.clock.onPump = [&] { // once, after the outer call has typed a key
        if (fake.log.count("type") == 0 || !refused.empty()) return;
        for (const auto& nested : std::vector<std::function<void()>>{
                 [&] { k.Send(L"x"); }, [&] { k.Pass(L"x", 0); }, [&] { k.Break(L""); },
                 [&] { k.Rest(1, false); }, [&] { k.DefFld(L"D:\\"); },
                 [&] { k.FldFiles(); }}) // no folder yet: it would ask
            refused.push_back(errorNumberOf(nested));
        appNum = k.AppNum();
        k.Mol1 = 50;
        k.ODOff();
    };
    k.Send(L"ab");
    EXPECT_EQ(refused, std::vector<std::optional<std::int32_t>>(6, errors::Busy));
    EXPECT_EQ(appNum, 0);
    EXPECT_EQ(fake.log.args("type"), (Steps{"a", "b"}));
    EXPECT_TRUE(fake.dialogs.boxes.empty());
    EXPECT_EQ(k.DefFld(), L"C:\\Work\\");
    EXPECT_EQ(k.pacer().settleMs(), 1000);
}

TEST_F(Reentry, ThePauseBoxIsACallAndTheRefusalEndsWithTheCallAlsoWhenItFailed) {
    std::optional<std::int32_t> refused;
    fake.log.onEntry = [&](const std::string& entry) {
        if (entry == "box Kelmo_Break") refused = errorNumberOf([&] { k.Send(L"x"); });
    };
    EXPECT_EQ(k.Break(L""), 2);
    EXPECT_EQ(refused, errors::Busy);
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"a{bad}"); }), errors::InvalidCall);
    EXPECT_EQ(errorNumberOf([&] { k.Send(L"b"); }), std::nullopt);
}

} // namespace

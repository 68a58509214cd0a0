// Creating the automation object: what it asks the platform for, in order; application 0; DefFld
// and WinDrv; the file-system object's life; the failures that leave no object. Also the error
// numbers clients receive.
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

} // namespace

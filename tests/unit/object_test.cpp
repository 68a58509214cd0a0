// Creating the automation object: its defaults, application 0, the Pause key's flag, DefFld
// and WinDrv, the life of the file-system object, failures during creation; and the error
// numbers and checked arithmetic that every member relies on.
#include "base/checked.h"
#include "component/core/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

class Creation : public ::testing::Test {
protected:
    std::unique_ptr<CKelmo> create() { return std::make_unique<CKelmo>(fake.services()); }

    FakePlatform fake;
};

TEST_F(Creation, StartsWithTheDefaultsAndTheForegroundWindowAsApplicationZeroWithoutWaiting) {
    fake.windows.front = 7;
    fake.keyboard.pressPause(); // before the object existed: forgotten, no pause box later
    const auto k = create();
    EXPECT_EQ(fake.log.entries, (Steps{"seedRandom", "foreground 7", "key 19 1", "curdir",
                                       "create FileSystem", "fs specialFolderPath 0"}));
    fake.windows.bringUp(0x5678); // later changes of the foreground do not matter

    EXPECT_EQ(k->Atom, 25);
    EXPECT_EQ(k->Mol1, 100);
    EXPECT_EQ(k->Mol2, 1000);
    EXPECT_EQ(k->Speed, 90);
    EXPECT_TRUE(k->ODflag);
    EXPECT_EQ(k->Repeat, 5);
    EXPECT_EQ(k->RestMax, 10);
    EXPECT_EQ(k->IEC, nullptr);
    EXPECT_EQ(k->pacer().settleMs(), 100);
    EXPECT_FALSE(k->browser().isOpen());
    EXPECT_EQ(k->apps().windows(), std::vector<WindowHandle>{7});
    EXPECT_EQ(k->apps().processIds(), std::vector<platform::ProcessId>{0});
    EXPECT_EQ(k->apps().previous(), 0);
    EXPECT_EQ(k->AppNum(), 0);
    EXPECT_EQ(k->AppCur(), 0);
    EXPECT_TRUE(fake.dialogs.boxes.empty());
}

TEST_F(Creation, CompletesTheCurrentDirectoryAsDefFldAndTakesWinDrvFromTheWindowsFolder) {
    const std::pair<std::wstring, std::wstring> directories[] = {
        {L"C:\\Work", L"C:\\Work\\"},
        {L"  C:\\  ", L"C:\\"},
        {L"   C:\\My Work  ", L"C:\\My Work\\"},
        {L"\u3000C:\\Work\u3000", L"\u3000C:\\Work\u3000\\"},
    };
    for (const auto& [directory, defFld] : directories) {
        SCOPED_TRACE(narrow(directory));
        fake.processes.directory = directory;
        EXPECT_EQ(create()->DefFld(), defFld);
    }
    for (const std::wstring windowsFolder : {L"D:\\WINNT", L"c:\\windows\\", L"E:\\"}) {
        SCOPED_TRACE(narrow(windowsFolder));
        fake.objects.windowsFolder = windowsFolder;
        EXPECT_EQ(create()->WinDrv(), windowsFolder.substr(0, 2) + L"\\");
    }
}

TEST_F(Creation, ReleasesTheFileSystemObjectAndFsCreatesANewOne) {
    const auto k = create();
    EXPECT_FALSE(k->holdsFileSystem());
    ASSERT_EQ(fake.objects.fileSystems.size(), 1u);
    EXPECT_EQ(fake.objects.fileSystems[0].use_count(), 1); // only the factory's reference

    const auto first = k->FS();
    ASSERT_EQ(fake.objects.fileSystems.size(), 2u);
    EXPECT_EQ(first, fake.objects.fileSystems[1]);
    EXPECT_TRUE(k->holdsFileSystem());
    EXPECT_EQ(k->FS(), first);
    EXPECT_EQ(fake.objects.fileSystems.size(), 2u);
}

TEST_F(Creation, FailsWithTheErrorOfTheFileSystemObject) {
    const auto notRegistered = static_cast<std::int32_t>(0x80040154u);
    fake.log.failures.emplace("create FileSystem", KelmoError(notRegistered, L"not registered"));
    EXPECT_EQ(errorNumberOf([&] { create(); }), notRegistered);

    fake.log.failures.clear();
    const auto denied = static_cast<std::int32_t>(0x80070005u);
    fake.log.failures.emplace("fs specialFolderPath", KelmoError(denied, L"denied"));
    EXPECT_EQ(errorNumberOf([&] { create(); }), denied);
}

TEST(ErrorNumbers, ClassicNumbersBecomeAutomationScodesAndHresultsStayAsTheyAre) {
    EXPECT_EQ(automationScode(5), static_cast<std::int32_t>(0x800A0005u));
    EXPECT_EQ(automationScode(91), static_cast<std::int32_t>(0x800A005Bu));
    const auto notRegistered = static_cast<std::int32_t>(0x80040154u);
    EXPECT_EQ(automationScode(notRegistered), notRegistered);
}

TEST(ErrorNumbers, CheckedArithmeticRaisesOverflowInsteadOfWrapping) {
    EXPECT_EQ(checkedAdd<std::int16_t>(32766, 1), 32767);
    EXPECT_EQ(checkedMul<std::int32_t>(214748364, 10), 2147483640);
    EXPECT_EQ((checkedNarrow<std::int16_t, std::int32_t>(-32768)), -32768);
    const std::function<void()> overflowing[] = {
        [] { checkedAdd<std::int16_t>(32767, 1); }, [] { checkedSub<std::int16_t>(-32768, 1); },
        [] { checkedMul<std::int32_t>(-1, INT_MIN); },
        [] { checkedNarrow<std::int16_t, std::int32_t>(32768); },
        [] { checkedNarrow<std::int16_t, std::int32_t>(-32769); }};
    for (const auto& operation : overflowing)
        EXPECT_EQ(errorNumberOf(operation), errors::Overflow);
}

} // namespace

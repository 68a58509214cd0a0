// Creating the automation object: its defaults, application 0, the Pause key's flag, DefFld
// and WinDrv, the life of the file-system object, failures during creation; and the error
// number helpers that every member relies on.
#include "component/object.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

std::optional<std::int32_t> errorNumberOf(const std::function<void()> &action) {
    try {
        action();
    } catch (const KelmoError &error) {
        return error.number();
    }
    return std::nullopt;
}

class Creation : public ::testing::Test {
protected:
    std::unique_ptr<CKelmo> create() { return std::make_unique<CKelmo>(fake.services()); }

    FakeServices fake;
};

TEST_F(Creation, StartsWithTheDefaultsAndTheForegroundWindowAsApplicationZero) {
    fake.windows.front = 0x1234;
    const auto k = create();
    fake.windows.bringUp(0x5678); // later changes of the foreground do not matter

    EXPECT_EQ(k->Atom, 25);
    EXPECT_EQ(k->Mol1, 100);
    EXPECT_EQ(k->Mol2, 1000);
    EXPECT_EQ(k->Speed, 90);
    EXPECT_TRUE(k->ODflag);
    EXPECT_EQ(k->Repeat, 5);
    EXPECT_EQ(k->RestMax, 10);
    EXPECT_EQ(k->IEC, nullptr);
    EXPECT_EQ(k->settleMs(), 100);
    EXPECT_EQ(k->appWnds(), std::vector<WindowHandle>{0x1234});
    EXPECT_EQ(k->appPids(), std::vector<ProcessId>{0});
    EXPECT_EQ(k->appPrev(), 0);
    EXPECT_EQ(k->AppNum(), 0);
    EXPECT_EQ(k->AppCur(), 0);
}

TEST_F(Creation, RunsItsStepsInOrderWithoutWaiting) {
    fake.windows.front = 7;
    create();
    EXPECT_EQ(fake.log.entries(),
              (std::vector<std::string>{"seedRandom", "foreground 7", "key 19 0", "curdir",
                                        "create FileSystem", "fs specialFolderPath 0"}));
}

TEST_F(Creation, ForgetsAPausePressFromBeforeTheObjectExisted) {
    fake.keyboard.press(FakeKeyboard::Pause);
    const auto k = create();
    k->AppNum();
    EXPECT_TRUE(fake.dialogs.boxes.empty());

    fake.keyboard.press(FakeKeyboard::Pause); // a press after creation is noticed
    fake.dialogs.answers = {FakeDialogs::Retry};
    k->AppNum();
    EXPECT_EQ(fake.dialogs.boxes.size(), 1u);
}

TEST_F(Creation, CompletesTheCurrentDirectoryAsDefFld) {
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"C:\\Work", L"C:\\Work\\"},
        {L"C:\\Work\\", L"C:\\Work\\"},
        {L"C:\\", L"C:\\"},
        {L"  C:\\  ", L"C:\\"},
        {L"   C:\\My Work  ", L"C:\\My Work\\"},
        {L"\tC:\\Work\t", L"\tC:\\Work\t\\"},
        {L"\u3000C:\\Work\u3000", L"\u3000C:\\Work\u3000\\"},
        {L"\\\\server\\share", L"\\\\server\\share\\"},
    };
    for (const auto &[directory, expected] : cases) {
        SCOPED_TRACE(utf8(directory));
        fake.processes.directory = directory;
        EXPECT_EQ(create()->DefFld(), expected);
    }
}

TEST_F(Creation, TakesWinDrvFromTheWindowsFolder) {
    for (const std::wstring windowsFolder : {L"D:\\WINNT", L"c:\\windows\\", L"E:\\"}) {
        fake.objects.disk.specialFolders[0] = windowsFolder;
        EXPECT_EQ(create()->WinDrv(), windowsFolder.substr(0, 2) + L"\\");
    }
}

TEST_F(Creation, ReleasesTheFileSystemObjectAndFsCreatesANewOne) {
    const auto k = create();
    EXPECT_FALSE(k->holdsFileSystem());
    ASSERT_EQ(fake.objects.fileSystems.size(), 1u);
    EXPECT_TRUE(FakeObjectFactory::released(fake.objects.fileSystems[0]));

    const auto first = k->FS();
    ASSERT_EQ(fake.objects.fileSystems.size(), 2u);
    EXPECT_EQ(first.get(),
              static_cast<platform::AutomationObject *>(fake.objects.fileSystems[1].get()));
    EXPECT_TRUE(k->holdsFileSystem());
    EXPECT_EQ(k->FS(), first);
    EXPECT_EQ(fake.objects.fileSystems.size(), 2u);
}

TEST_F(Creation, FailsWithTheErrorOfTheFileSystemObject) {
    fake.objects.fileSystemFailure = KelmoError(hresults::ClassNotRegistered, L"not registered");
    EXPECT_EQ(errorNumberOf([&] { create(); }), hresults::ClassNotRegistered);

    fake.objects.fileSystemFailure.reset();
    const auto denied = static_cast<std::int32_t>(0x80070005u);
    fake.objects.disk.failures.emplace("specialFolderPath", KelmoError(denied, L"denied"));
    EXPECT_EQ(errorNumberOf([&] { create(); }), denied);
}

TEST(ErrorNumbers, ClassicNumbersBecomeAutomationScodesAndHresultsStayAsTheyAre) {
    EXPECT_EQ(automationScode(5), static_cast<std::int32_t>(0x800A0005u));
    EXPECT_EQ(automationScode(6), static_cast<std::int32_t>(0x800A0006u));
    EXPECT_EQ(automationScode(91), static_cast<std::int32_t>(0x800A005Bu));
    EXPECT_EQ(automationScode(hresults::ClassNotRegistered), hresults::ClassNotRegistered);
    EXPECT_EQ(automationScode(hresults::PathNotFound), hresults::PathNotFound);
}

TEST(ErrorNumbers, CheckedArithmeticRaisesOverflowInsteadOfWrapping) {
    EXPECT_EQ(checkedAdd<std::int16_t>(32766, 1), 32767);
    EXPECT_EQ(errorNumberOf([] { checkedAdd<std::int16_t>(32767, 1); }), errors::Overflow);
    EXPECT_EQ(errorNumberOf([] { checkedSub<std::int16_t>(-32768, 1); }), errors::Overflow);
    EXPECT_EQ(errorNumberOf([] { checkedAdd<std::int32_t>(INT_MAX, 1); }), errors::Overflow);
    EXPECT_EQ(errorNumberOf([] { checkedMul<std::int32_t>(214748365, 10); }), errors::Overflow);
    EXPECT_EQ(errorNumberOf([] { checkedMul<std::int32_t>(-1, INT_MIN); }), errors::Overflow);
    EXPECT_EQ(checkedMul<std::int32_t>(214748364, 10), 2147483640);
    EXPECT_EQ((checkedNarrow<std::int16_t, std::int32_t>(-32768)), -32768);
    EXPECT_EQ(errorNumberOf([] { checkedNarrow<std::int16_t, std::int32_t>(32768); }),
              errors::Overflow);
    EXPECT_EQ(errorNumberOf([] { checkedNarrow<std::int16_t, std::int32_t>(-32769); }),
              errors::Overflow);
    try {
        checkedAdd<std::int16_t>(32767, 1);
    } catch (const KelmoError &error) {
        EXPECT_EQ(error.description(), L"Overflow");
    }
}

} // namespace

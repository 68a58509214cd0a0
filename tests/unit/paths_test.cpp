// Completing and quoting the paths scripts give (FullPath, QuotedPath, QuotedProgram,
// QuotedCommand) and the trimming they rely on, with DefFld C:\Work\ and WinDrv E:\ so that the
// two completions are told apart.
#include "component/object.h"
#include "component/text.h"
#include "fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace kelmo;
using namespace kelmo::fakes;

// The path routines are private. An explicit instantiation may name private members, so these
// pointers reach them without a test hook in the class.
template <typename Tag, typename Tag::Pointer Member> struct Expose {
    friend typename Tag::Pointer pointerTo(Tag) { return Member; }
};
struct FullPathRoutine {
    using Pointer = std::wstring (CKelmo::*)(const std::wstring &) const;
    friend Pointer pointerTo(FullPathRoutine);
};
struct QuotedPathRoutine {
    using Pointer = std::wstring (CKelmo::*)(const std::wstring &);
    friend Pointer pointerTo(QuotedPathRoutine);
};
struct QuotedProgramRoutine {
    using Pointer = std::wstring (CKelmo::*)(const std::wstring &);
    friend Pointer pointerTo(QuotedProgramRoutine);
};
struct QuotedCommandRoutine {
    using Pointer = std::wstring (CKelmo::*)(const std::wstring &, std::int16_t);
    friend Pointer pointerTo(QuotedCommandRoutine);
};
template struct Expose<FullPathRoutine, &CKelmo::FullPath>;
template struct Expose<QuotedPathRoutine, &CKelmo::QuotedPath>;
template struct Expose<QuotedProgramRoutine, &CKelmo::QuotedProgram>;
template struct Expose<QuotedCommandRoutine, &CKelmo::QuotedCommand>;

using Cases = std::vector<std::pair<std::wstring, std::wstring>>;

class Paths : public ::testing::Test {
protected:
    Paths() : k(prepared(fake)) { fake.log.clear(); }

    static platform::Services &prepared(FakeServices &services) {
        services.processes.directory = L"C:\\Work";
        services.objects.disk.specialFolders[0] = L"E:\\WINDOWS";
        return services.services();
    }

    std::wstring fullPath(const std::wstring &p) { return (k.*pointerTo(FullPathRoutine{}))(p); }
    std::wstring quotedPath(const std::wstring &p) {
        return (k.*pointerTo(QuotedPathRoutine{}))(p);
    }
    std::wstring quotedProgram(const std::wstring &p) {
        return (k.*pointerTo(QuotedProgramRoutine{}))(p);
    }
    std::wstring quotedCommand(const std::wstring &p, std::int16_t separator) {
        return (k.*pointerTo(QuotedCommandRoutine{}))(p, separator);
    }

    FakeServices fake;
    CKelmo k;
};

TEST_F(Paths, FullPathTakesABareNameFromDefFldAPathWithABackslashFromWinDrv) {
    const Cases cases = {
        {L"a.txt", L"C:\\Work\\a.txt"},
        {L"  a.txt  ", L"C:\\Work\\a.txt"},
        {L"\\tools\\a.exe", L"E:\\\\tools\\a.exe"}, // two backslashes after the colon
        {L"tools\\a.exe", L"E:\\tools\\a.exe"},
        {L"", L"C:\\Work\\"},
        {L"c:a.txt", L"c:a.txt"},
        {L"  c:a.txt ", L"c:a.txt"},
        {L"D:\\x\\a.txt", L"D:\\x\\a.txt"},
        {L"http://host/a.txt", L"http://host/a.txt"},
    };
    for (const auto &[path, full] : cases) {
        SCOPED_TRACE(utf8(path));
        EXPECT_EQ(fullPath(path), full);
    }

    k.DefFld(L"D:\\Data");
    EXPECT_EQ(fullPath(L"a.txt"), L"D:\\Data\\a.txt");
}

TEST_F(Paths, OnlyPlainSpacesAreTrimmed) {
    const Cases cases = {
        {L"\ta.txt", L"C:\\Work\\\ta.txt"},
        {L"a.txt\r\n", L"C:\\Work\\a.txt\r\n"},
        {L"\u3000a.txt\u3000", L"C:\\Work\\\u3000a.txt\u3000"},
        {L"\u00A0a.txt", L"C:\\Work\\\u00A0a.txt"},
    };
    for (const auto &[path, full] : cases) {
        SCOPED_TRACE(utf8(path));
        EXPECT_EQ(fullPath(path), full);
    }

    EXPECT_EQ(text::trimSpaces(L"  a b  "), L"a b");
    EXPECT_EQ(text::trimSpaces(L"    "), L"");
    EXPECT_EQ(text::trimSpaces(L""), L"");
    EXPECT_EQ(text::trimSpaces(L" \t a \t "), L"\t a \t");
}

TEST_F(Paths, AQuotedNameIsCompletedInsideItsQuotes) {
    const Cases cases = {
        {L"\"a b.txt\"", L"\"C:\\Work\\a b.txt\""},
        {L"  \"a.txt\"  ", L"\"C:\\Work\\a.txt\""},
        {L"\"\\tools\\a.exe\"", L"\"E:\\\\tools\\a.exe\""},
        {L"\"C:\\a b.txt\"", L"\"C:\\a b.txt\""},
    };
    for (const auto &[path, full] : cases) {
        SCOPED_TRACE(utf8(path));
        EXPECT_EQ(fullPath(path), full);
        EXPECT_EQ(quotedPath(path), full);
    }
}

TEST_F(Paths, QuotedPathAddsOnlyTheQuotesThatAreMissingThenPaces) {
    const Cases cases = {
        {L"a.txt", L"\"C:\\Work\\a.txt\""},
        {L"C:\\My Files\\a.txt", L"\"C:\\My Files\\a.txt\""},
        {L"\"C:\\My Files\\a.txt\"", L"\"C:\\My Files\\a.txt\""},
        {L"  \"C:\\x.txt\" ", L"\"C:\\x.txt\""},
        {L"\"C:\\x.txt", L"\"C:\\x.txt\""},
        {L"C:\\x.txt\"", L"\"C:\\x.txt\""},
        {L"\\tools\\a.exe", L"\"E:\\\\tools\\a.exe\""},
    };
    for (const auto &[path, quoted] : cases) {
        SCOPED_TRACE(utf8(path));
        fake.log.clear();
        EXPECT_EQ(quotedPath(path), quoted);
        EXPECT_EQ(fake.log.count("sleep"), 4u); // one PaceWait
    }
}

TEST_F(Paths, QuotedProgramCompletesOnlyANameWithADot) {
    const Cases cases = {
        {L"notepad", L"\"notepad\""},
        {L"  notepad ", L"\"notepad\""},
        {L"\"notepad\"", L"\"notepad\""},
        {L"\\bin\\tool", L"\"\\bin\\tool\""},
        {L"memo.txt", L"\"C:\\Work\\memo.txt\""},
        {L"\\bin\\tool.exe", L"\"E:\\\\bin\\tool.exe\""},
        {L"C:\\Tools\\x.exe", L"\"C:\\Tools\\x.exe\""},
        {L"", L"\"\""}, // an empty pair of quotes, never a lone one
    };
    for (const auto &[program, quoted] : cases) {
        SCOPED_TRACE(utf8(program));
        EXPECT_EQ(quotedProgram(program), quoted);
    }
}

TEST_F(Paths, QuotedCommandDropsTheSeparatorAndJoinsWithExactlyOneBlank) {
    const std::vector<std::tuple<std::wstring, std::int16_t, std::wstring>> cases = {
        {L"notepad memo.txt", 8, L"\"notepad\" \"C:\\Work\\memo.txt\""},
        {L"notepad   memo.txt", 8, L"\"notepad\" \"C:\\Work\\memo.txt\""},
        {L"notepad,memo.txt", 8, L"\"notepad\" \"C:\\Work\\memo.txt\""},
        {L"  notepad memo.txt", 10, L"\"notepad\" \"C:\\Work\\memo.txt\""},
        {L"calc.exe x.txt", 9, L"\"C:\\Work\\calc.exe\" \"C:\\Work\\x.txt\""},
        {L"\"C:\\Program Files\\x.exe\" \\docs\\a.txt", 25,
         L"\"C:\\Program Files\\x.exe\" \"E:\\\\docs\\a.txt\""},
        {L"notepad \"D:\\a b.txt\"", 8, L"\"notepad\" \"D:\\a b.txt\""},
    };
    for (const auto &[command, separator, result] : cases) {
        SCOPED_TRACE(utf8(command));
        EXPECT_EQ(quotedCommand(command, separator), result);
    }
}

// A path that starts with two backslashes names a share on another machine: it is already full,
// and putting the system drive in front of it would name a folder on the local disk instead.
TEST_F(Paths, ANetworkPathIsLeftAsItIs) {
    EXPECT_EQ(fullPath(L"\\\\server\\share\\a.txt"), L"\\\\server\\share\\a.txt");
    EXPECT_EQ(quotedPath(L"\\\\server\\share\\a b.txt"), L"\"\\\\server\\share\\a b.txt\"");
}

} // namespace

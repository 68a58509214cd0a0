// The reference for script writers (docs/reference.md) against the type library the registered
// object describes itself with: a heading for every member, and none for a member it lacks.
#include "fixture.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

using Reference = kelmo::test::ComTest;

TEST_F(Reference, HasAHeadingForEveryMemberOfTheTypeLibraryAndNoOther) {
    kelmo::win32::ComPtr<ITypeInfo> dual, info;
    HREFTYPE reference = 0;
    TYPEATTR* attributes = nullptr;
    ASSERT_TRUE(kelmo::test::LateBound().get()->GetTypeInfo(0, 0, dual.put()) == S_OK &&
                dual->GetRefTypeOfImplType(UINT(-1), &reference) == S_OK &&
                dual->GetRefTypeInfo(reference, info.put()) == S_OK &&
                info->GetTypeAttr(&attributes) == S_OK);
    std::set<std::string> members, headings;
    for (UINT f = 0; f < attributes->cFuncs; ++f) {
        FUNCDESC* function = nullptr;
        kelmo::win32::Bstr name;
        info->GetFuncDesc(f, &function);
        info->GetDocumentation(function->memid, name.put(), nullptr, nullptr, nullptr);
        members.insert(kelmo::testtools::toUtf8(name.get()));
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
    EXPECT_EQ(43u, members.size()); // the 53 entries: a property's get and put share a heading
    std::ifstream file(std::filesystem::path( // the tests run from build/<tree>/
        kelmo::test::programFolder() + L"..\\..\\docs\\reference.md"));
    for (std::string line; std::getline(file, line);)
        if (line.starts_with("### "))
            headings.insert(line.substr(4, line.find_first_of(" (", 4) - 4));
    EXPECT_EQ(members, headings);
}

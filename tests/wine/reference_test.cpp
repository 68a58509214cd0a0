// The reference for script writers (docs/reference.md) against the type library in Kelmo.dll:
// every entry of _CKelmo has its heading, written from the library's own names, kinds,
// parameters, defaults and result types, and no heading names a member the library lacks.
#include <windows.h>
#include <oleauto.h>

#include "recorder.h"
#include "toolio.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace {

using kelmo::test::programFolder;
using kelmo::testtools::toUtf8;

std::string typeName(VARTYPE type) {
    switch (type & VT_TYPEMASK) {
    case VT_I2:
        return "Integer";
    case VT_I4:
        return "Long";
    case VT_R4:
        return "Single";
    case VT_BOOL:
        return "Boolean";
    case VT_BSTR:
        return "String";
    case VT_DISPATCH:
        return "object";
    default:
        return "Variant";
    }
}

std::string defaultText(const VARIANT& value, VARTYPE parameterType) {
    if (value.vt == VT_BSTR) return "\"" + toUtf8(value.bstrVal) + "\"";
    VARIANT number;
    VariantInit(&number);
    VariantChangeType(&number, const_cast<VARIANT*>(&value), 0, VT_I4);
    if ((parameterType & VT_TYPEMASK) == VT_BOOL) return number.lVal ? "True" : "False";
    return std::to_string(number.lVal);
}

// The heading each member of the interface must have, by member name.
std::map<std::string, std::string> headingsFromTypeLibrary() {
    ITypeLib* library = nullptr;
    EXPECT_EQ(S_OK,
              LoadTypeLibEx((programFolder() + L"Kelmo.dll").c_str(), REGKIND_NONE, &library));
    ITypeInfo* dual = nullptr;
    for (UINT i = 0; library && i < library->GetTypeInfoCount(); ++i) {
        BSTR name = nullptr;
        library->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr);
        if (name && std::wstring(name) == L"_CKelmo") library->GetTypeInfo(i, &dual);
        SysFreeString(name);
    }
    ITypeInfo* vtable = dual;
    HREFTYPE reference = 0;
    if (dual && dual->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference) == S_OK)
        dual->GetRefTypeInfo(reference, &vtable);
    TYPEATTR* attributes = nullptr;
    if (!vtable || vtable->GetTypeAttr(&attributes) != S_OK) return {};

    std::map<std::string, std::string> methods, propertyTypes, propertyKinds;
    for (UINT f = 0; f < attributes->cFuncs; ++f) {
        FUNCDESC* function = nullptr;
        vtable->GetFuncDesc(f, &function);
        BSTR names[32] = {};
        UINT count = 0;
        vtable->GetNames(function->memid, names, 32, &count);
        const std::string name = toUtf8(names[0]);
        std::string parameters, result;
        for (SHORT p = 0; p < function->cParams; ++p) {
            const ELEMDESC& element = function->lprgelemdescParam[p];
            const USHORT flags = element.paramdesc.wParamFlags;
            const std::string parameter =
                static_cast<UINT>(p + 1) < count ? toUtf8(names[p + 1]) : "";
            const VARTYPE type =
                element.tdesc.vt == VT_PTR ? element.tdesc.lptdesc->vt : element.tdesc.vt;
            if (flags & PARAMFLAG_FRETVAL) {
                result = typeName(type);
                continue;
            }
            std::string shown = parameter;
            if (function->cParamsOpt == -1 && p == function->cParams - 2)
                shown = "[" + parameter + "...]";
            else if (flags & PARAMFLAG_FHASDEFAULT)
                shown = "[" + parameter + " = " +
                        defaultText(element.paramdesc.pparamdescex->varDefaultValue, type) + "]";
            else if (flags & PARAMFLAG_FOPT)
                shown = "[" + parameter + "]";
            parameters += (parameters.empty() ? "" : ", ") + shown;
        }
        if (function->invkind == INVOKE_FUNC)
            methods[name] = name + "(" + parameters + ")" + (result.empty() ? "" : " → " + result);
        else if (function->invkind == INVOKE_PROPERTYGET)
            propertyTypes[name] = result;
        else
            propertyKinds[name] = "read/write";
        for (UINT n = 0; n < count; ++n)
            SysFreeString(names[n]);
        vtable->ReleaseFuncDesc(function);
    }
    vtable->ReleaseTypeAttr(attributes);
    for (const auto& [name, type] : propertyTypes)
        methods[name] = name + " → " + type + " (" +
                        (propertyKinds.count(name) ? "read/write" : "read-only") + ")";
    return methods;
}

// A file of the checkout (the tests run from build/<tree>/).
std::ifstream checkoutFile(const std::wstring& relative) {
    return std::ifstream(std::filesystem::path(programFolder() + L"..\\..\\" + relative));
}

// The items of the section "## Departures from the written behaviour", up to the next section.
std::string departures(std::ifstream file) {
    std::string items;
    bool inside = false;
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("## ", 0) == 0) inside = line == "## Departures from the written behaviour";
        if (inside && (line.rfind("- ", 0) == 0 || line.rfind("  ", 0) == 0)) items += line + "\n";
    }
    return items;
}

TEST(Reference, EveryEntryOfTheTypeLibraryHasItsHeadingAndNoHeadingMore) {
    const auto expected = headingsFromTypeLibrary();
    ASSERT_EQ(43u, expected.size()); // the 53 entries: a property's get and put share a heading
    std::ifstream file = checkoutFile(L"docs\\reference.md");
    ASSERT_TRUE(file) << "docs/reference.md not found";
    std::map<std::string, std::string> documented;
    const std::regex heading(R"(^### (\w+)(.*)$)");
    for (std::string line; std::getline(file, line);) {
        std::smatch match;
        if (std::regex_match(line, match, heading))
            documented[match[1]] = match[1].str() + match[2].str();
    }
    for (const auto& [name, line] : expected)
        EXPECT_EQ(line, documented[name]) << name;
    for (const auto& [name, line] : documented)
        EXPECT_TRUE(expected.count(name)) << "no such member: " << line;
}

TEST(Reference, ListsTheDeparturesTheReadmeLists) {
    const std::string listed = departures(checkoutFile(L"README.md"));
    EXPECT_GT(listed.size(), 1000u);
    EXPECT_EQ(listed, departures(checkoutFile(L"docs\\reference.md")));
}

} // namespace

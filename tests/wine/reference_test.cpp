// The reference for script writers (docs/reference.md) against the type library the registered
// object describes itself with: every entry of _CKelmo has its heading, written from the
// library's own names, kinds, parameters, defaults and result types, and no heading names a
// member the library lacks.
#include "fixture.h"
#include "recorder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

namespace {

using kelmo::testtools::toUtf8;

std::string typeName(VARTYPE type) {
    const std::map<VARTYPE, std::string> names = {{VT_I2, "Integer"},  {VT_I4, "Long"},
                                                  {VT_R4, "Single"},   {VT_BOOL, "Boolean"},
                                                  {VT_BSTR, "String"}, {VT_DISPATCH, "object"}};
    const auto found = names.find(type & VT_TYPEMASK);
    return found == names.end() ? "Variant" : found->second;
}

std::string defaultText(const VARIANT& value, VARTYPE type) {
    if (value.vt == VT_BSTR) return "\"" + toUtf8(value.bstrVal) + "\"";
    kelmo::test::Arg number;
    VariantChangeType(&number, const_cast<VARIANT*>(&value), 0, VT_I4);
    return (type & VT_TYPEMASK) != VT_BOOL ? std::to_string(number.lVal)
           : number.lVal                   ? "True"
                                           : "False";
}

// The heading each member of the interface must have, by member name.
std::map<std::string, std::string> headingsFromTypeLibrary(IDispatch* object) {
    kelmo::win32::ComPtr<ITypeInfo> dual, info;
    HREFTYPE reference = 0;
    TYPEATTR* attributes = nullptr;
    if (object->GetTypeInfo(0, LOCALE_USER_DEFAULT, dual.put()) != S_OK ||
        dual->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference) != S_OK ||
        dual->GetRefTypeInfo(reference, info.put()) != S_OK || info->GetTypeAttr(&attributes))
        return {};
    std::map<std::string, std::string> methods, types, kinds;
    for (UINT f = 0; f < attributes->cFuncs; ++f) {
        FUNCDESC* function = nullptr;
        info->GetFuncDesc(f, &function);
        BSTR names[32] = {};
        UINT count = 0;
        info->GetNames(function->memid, names, 32, &count);
        const std::string name = toUtf8(names[0]);
        std::string parameters, result;
        for (SHORT p = 0; p < function->cParams; ++p) {
            const ELEMDESC& element = function->lprgelemdescParam[p];
            const USHORT flags = element.paramdesc.wParamFlags;
            const std::string parameter = p + 1u < count ? toUtf8(names[p + 1]) : "";
            const VARTYPE type =
                element.tdesc.vt == VT_PTR ? element.tdesc.lptdesc->vt : element.tdesc.vt;
            std::string shown = parameter;
            if (flags & PARAMFLAG_FRETVAL)
                result = typeName(type);
            else if (function->cParamsOpt == -1 && p == function->cParams - 2)
                shown = "[" + parameter + "...]";
            else if (flags & PARAMFLAG_FHASDEFAULT)
                shown = "[" + parameter + " = " +
                        defaultText(element.paramdesc.pparamdescex->varDefaultValue, type) + "]";
            if (!(flags & PARAMFLAG_FRETVAL))
                parameters += (parameters.empty() ? "" : ", ") + shown;
        }
        if (function->invkind == INVOKE_FUNC)
            methods[name] = name + "(" + parameters + ")" + (result.empty() ? "" : " → " + result);
        (function->invkind == INVOKE_PROPERTYGET ? types : kinds)[name] = result;
        info->ReleaseFuncDesc(function);
        for (BSTR text : names)
            SysFreeString(text);
    }
    info->ReleaseTypeAttr(attributes);
    for (const auto& [name, type] : types)
        methods[name] =
            name + " → " + type + (kinds.count(name) ? " (read/write)" : " (read-only)");
    return methods;
}

using Reference = kelmo::test::ComTest;

TEST_F(Reference, HasAHeadingForEveryEntryOfTheTypeLibraryAndNoHeadingMore) {
    const auto expected = headingsFromTypeLibrary(kelmo::test::LateBound().get());
    ASSERT_EQ(43u, expected.size()); // the 53 entries: a property's get and put share a heading
    std::ifstream file(std::filesystem::path( // the tests run from build/<tree>/
        kelmo::test::programFolder() + L"..\\..\\docs\\reference.md"));
    ASSERT_TRUE(file) << "docs/reference.md not found";
    std::map<std::string, std::string> documented;
    std::smatch match;
    for (std::string line; std::getline(file, line);)
        if (std::regex_match(line, match, std::regex(R"(^### (\w+)(.*)$)")))
            documented[match[1]] = match[1].str() + match[2].str();
    for (const auto& [name, line] : expected)
        EXPECT_EQ(line, documented[name]) << name;
    for (const auto& [name, line] : documented)
        EXPECT_TRUE(expected.count(name)) << "no such member: " << line;
}

} // namespace

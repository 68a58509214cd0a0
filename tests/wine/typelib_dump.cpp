// The type library as text: the library, its types and, for each dispatch interface, its
// members as late-bound clients see them (the dispatch view of a dual interface).
#include "typelib_dump.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>

namespace kelmo::test {

namespace {

// Owners for what the type library hands out.
struct TypeInfoDeleter {
    void operator()(ITypeInfo* info) const { info->Release(); }
};
using TypeInfoPtr = std::unique_ptr<ITypeInfo, TypeInfoDeleter>;

struct BstrDeleter {
    void operator()(BSTR text) const { SysFreeString(text); }
};
using BstrPtr = std::unique_ptr<OLECHAR, BstrDeleter>;

std::wstring textOf(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : L"";
}

template <typename T, typename Release> class Attributes {
public:
    Attributes(T* value, Release release) : value_(value), release_(std::move(release)) {}
    Attributes(const Attributes&) = delete;
    Attributes& operator=(const Attributes&) = delete;
    ~Attributes() {
        if (value_) release_(value_);
    }
    T* operator->() const { return value_; }
    T& operator*() const { return *value_; }
    explicit operator bool() const { return value_ != nullptr; }

private:
    T* value_;
    Release release_;
};

auto typeAttributes(ITypeInfo* info) {
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    return Attributes(attr, [info](TYPEATTR* a) { info->ReleaseTypeAttr(a); });
}

auto functionDescription(ITypeInfo* info, UINT index) {
    FUNCDESC* desc = nullptr;
    info->GetFuncDesc(index, &desc);
    return Attributes(desc, [info](FUNCDESC* d) { info->ReleaseFuncDesc(d); });
}

std::wstring guidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring hex(unsigned long value, int digits) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%0*lX", digits, value);
    return text;
}

std::wstring nameOf(ITypeInfo* info, MEMBERID member = MEMBERID_NIL) {
    BSTR name = nullptr;
    info->GetDocumentation(member, &name, nullptr, nullptr, nullptr);
    return textOf(BstrPtr(name).get());
}

std::wstring typeName(ITypeInfo* info, const TYPEDESC& type) {
    switch (type.vt) {
    case VT_I2:
        return L"Integer";
    case VT_I4:
        return L"Long";
    case VT_R4:
        return L"Single";
    case VT_R8:
        return L"Double";
    case VT_BOOL:
        return L"Boolean";
    case VT_BSTR:
        return L"String";
    case VT_VARIANT:
        return L"Variant";
    case VT_DISPATCH:
        return L"Object";
    case VT_UNKNOWN:
        return L"Unknown";
    case VT_VOID:
        return L"void";
    case VT_HRESULT:
        return L"HRESULT";
    case VT_PTR:
        return typeName(info, *type.lptdesc) + L"*";
    case VT_SAFEARRAY:
        return L"SAFEARRAY(" + typeName(info, *type.lptdesc) + L")";
    case VT_USERDEFINED: {
        ITypeInfo* referenced = nullptr;
        if (FAILED(info->GetRefTypeInfo(type.hreftype, &referenced))) return L"<unresolved>";
        return nameOf(TypeInfoPtr(referenced).get());
    }
    default:
        return L"vt" + std::to_wstring(type.vt);
    }
}

std::wstring valueText(const VARIANT& value) {
    if (value.vt == VT_BSTR) return L"\"" + textOf(value.bstrVal) + L"\"";
    VARIANT text;
    VariantInit(&text);
    std::wstring result = L"<unprintable>";
    if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR)))
        result = textOf(text.bstrVal);
    VariantClear(&text);
    return result;
}

std::wstring flagWords(WORD flags) {
    static const std::pair<WORD, const wchar_t*> words[] = {
        {TYPEFLAG_FAPPOBJECT, L"appobject"},
        {TYPEFLAG_FCANCREATE, L"cancreate"},
        {TYPEFLAG_FLICENSED, L"licensed"},
        {TYPEFLAG_FPREDECLID, L"predeclid"},
        {TYPEFLAG_FHIDDEN, L"hidden"},
        {TYPEFLAG_FCONTROL, L"control"},
        {TYPEFLAG_FDUAL, L"dual"},
        {TYPEFLAG_FNONEXTENSIBLE, L"nonextensible"},
        {TYPEFLAG_FOLEAUTOMATION, L"oleautomation"},
        {TYPEFLAG_FRESTRICTED, L"restricted"},
        {TYPEFLAG_FAGGREGATABLE, L"aggregatable"},
        {TYPEFLAG_FREPLACEABLE, L"replaceable"},
        {TYPEFLAG_FDISPATCHABLE, L"dispatchable"},
        {TYPEFLAG_FREVERSEBIND, L"reversebind"},
        {TYPEFLAG_FPROXY, L"proxy"},
    };
    std::wstring text;
    for (const auto& [flag, word] : words)
        if (flags & flag) text += std::wstring(text.empty() ? L"" : L" ") + word;
    return text.empty() ? L"-" : text;
}

const wchar_t* kindWord(INVOKEKIND kind) {
    switch (kind) {
    case INVOKE_PROPERTYGET:
        return L"get";
    case INVOKE_PROPERTYPUT:
        return L"put";
    case INVOKE_PROPERTYPUTREF:
        return L"putref";
    default:
        return L"method";
    }
}

std::wstring parameterText(ITypeInfo* info, const ELEMDESC& param, const std::wstring& name,
                           bool last, bool vararg) {
    std::wstring text = name.empty() ? L"" : name + L": ";
    text += typeName(info, param.tdesc);
    const USHORT flags = param.paramdesc.wParamFlags;
    if (flags & PARAMFLAG_FOUT) text += flags & PARAMFLAG_FIN ? L" in out" : L" out";
    if (flags & PARAMFLAG_FOPT) text += L" optional";
    if ((flags & PARAMFLAG_FHASDEFAULT) && param.paramdesc.pparamdescex)
        text += L" = " + valueText(param.paramdesc.pparamdescex->varDefaultValue);
    if (last && vararg) text += L" ...";
    return text;
}

// "<dispid> <kind> <name>(<parameters>)[: <result>]". Parameter names are known for methods;
// a property's value parameter has none.
std::wstring memberLine(ITypeInfo* info, const FUNCDESC& function) {
    BSTR names[32] = {};
    UINT count = 0;
    info->GetNames(function.memid, names, 32, &count);
    std::vector<BstrPtr> owned;
    for (UINT i = 0; i < count; ++i)
        owned.emplace_back(names[i]);
    std::wstring line = hex(static_cast<unsigned long>(function.memid), 8) + L" " +
                        kindWord(function.invkind) + L" " + textOf(names[0]) + L"(";
    for (SHORT p = 0; p < function.cParams; ++p) {
        const bool named = function.invkind == INVOKE_FUNC && static_cast<UINT>(p) + 1 < count;
        if (p > 0) line += L", ";
        line +=
            parameterText(info, function.lprgelemdescParam[p], named ? textOf(names[p + 1]) : L"",
                          p + 1 == function.cParams, function.cParamsOpt == -1);
    }
    line += L")";
    const VARTYPE result = function.elemdescFunc.tdesc.vt;
    if (result != VT_VOID && result != VT_HRESULT)
        line += L": " + typeName(info, function.elemdescFunc.tdesc);
    if (function.wFuncFlags) line += L" [funcflags " + hex(function.wFuncFlags, 4) + L"]";
    return line;
}

TypeInfoPtr referencedType(ITypeInfo* info, int implType) {
    HREFTYPE reference = 0;
    ITypeInfo* referenced = nullptr;
    if (FAILED(info->GetRefTypeOfImplType(implType, &reference)) ||
        FAILED(info->GetRefTypeInfo(reference, &referenced)))
        return nullptr;
    return TypeInfoPtr(referenced);
}

// The dispatch view of an interface: itself, or for the vtable half of a dual interface, its
// dispatch half.
TypeInfoPtr dispatchView(ITypeInfo* info) {
    const auto attr = typeAttributes(info);
    if (attr && attr->typekind == TKIND_INTERFACE && (attr->wTypeFlags & TYPEFLAG_FDUAL))
        return referencedType(info, -1);
    info->AddRef();
    return TypeInfoPtr(info);
}

// The functions a dispatch interface inherits come first: as many as the vtable of its base.
UINT inheritedFunctions(ITypeInfo* dispatch) {
    const TypeInfoPtr base = referencedType(dispatch, 0);
    if (!base) return 0;
    const auto attr = typeAttributes(base.get());
    return attr ? attr->cbSizeVft / sizeof(void*) : 0;
}

void forEachMember(ITypeInfo* dispatch, const std::function<void(const FUNCDESC&)>& visit) {
    const auto attr = typeAttributes(dispatch);
    if (!attr) return;
    for (UINT i = inheritedFunctions(dispatch); i < attr->cFuncs; ++i)
        if (const auto function = functionDescription(dispatch, i)) visit(*function);
}

void dumpInterface(ITypeInfo* info, std::wstring& out) {
    const TypeInfoPtr dispatch = dispatchView(info);
    if (!dispatch) return;
    if (const TypeInfoPtr vtable = referencedType(dispatch.get(), -1)) {
        const auto attr = typeAttributes(vtable.get());
        out += L"  vtable half: " + flagWords(attr->wTypeFlags) + L"\n";
    }
    forEachMember(dispatch.get(), [&](const FUNCDESC& function) {
        out += L"  " + memberLine(dispatch.get(), function) + L"\n";
    });
}

void dumpCoclass(ITypeInfo* info, const TYPEATTR& attr, std::wstring& out) {
    for (UINT i = 0; i < attr.cImplTypes; ++i) {
        INT flags = 0;
        info->GetImplTypeFlags(i, &flags);
        const TypeInfoPtr implemented = referencedType(info, static_cast<int>(i));
        out += L"  implements " + (implemented ? nameOf(implemented.get()) : L"?") +
               (flags & IMPLTYPEFLAG_FDEFAULT ? L" default" : L"") +
               (flags & IMPLTYPEFLAG_FSOURCE ? L" source" : L"") + L"\n";
    }
}

const wchar_t* typeKindWord(TYPEKIND kind) {
    switch (kind) {
    case TKIND_COCLASS:
        return L"coclass";
    case TKIND_DISPATCH:
        return L"dispinterface";
    case TKIND_INTERFACE:
        return L"interface";
    default:
        return L"type";
    }
}

} // namespace

std::wstring dumpTypeLibrary(ITypeLib* library) {
    std::wstring out;
    TLIBATTR* libAttr = nullptr;
    if (FAILED(library->GetLibAttr(&libAttr))) return L"<no library attributes>\n";
    BSTR name = nullptr, help = nullptr;
    library->GetDocumentation(-1, &name, &help, nullptr, nullptr);
    const BstrPtr ownedName(name), ownedHelp(help);
    out += L"library " + textOf(name) + L" " + std::to_wstring(libAttr->wMajorVerNum) + L"." +
           std::to_wstring(libAttr->wMinorVerNum) + L" lcid " + hex(libAttr->lcid, 4) + L" " +
           guidText(libAttr->guid) + L" \"" + textOf(help) + L"\"\n";
    library->ReleaseTLibAttr(libAttr);
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        ITypeInfo* raw = nullptr;
        if (FAILED(library->GetTypeInfo(i, &raw))) continue;
        const TypeInfoPtr info(raw);
        const auto attr = typeAttributes(info.get());
        if (!attr) continue;
        out += std::wstring(typeKindWord(attr->typekind)) + L" " + nameOf(info.get()) + L" " +
               guidText(attr->guid) + L" " + flagWords(attr->wTypeFlags) + L"\n";
        if (attr->typekind == TKIND_COCLASS) dumpCoclass(info.get(), *attr, out);
        if (attr->typekind == TKIND_DISPATCH || attr->typekind == TKIND_INTERFACE)
            dumpInterface(info.get(), out);
    }
    return out;
}

std::vector<std::pair<std::wstring, DISPID>> dispatchMembers(ITypeLib* library) {
    std::vector<std::pair<std::wstring, DISPID>> members;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        ITypeInfo* raw = nullptr;
        if (FAILED(library->GetTypeInfo(i, &raw))) continue;
        const TypeInfoPtr info(raw);
        const TypeInfoPtr dispatch = dispatchView(info.get());
        if (!dispatch) continue;
        const auto attr = typeAttributes(dispatch.get());
        if (!attr || attr->typekind != TKIND_DISPATCH) continue;
        forEachMember(dispatch.get(), [&](const FUNCDESC& function) {
            members.emplace_back(nameOf(dispatch.get(), function.memid), function.memid);
        });
    }
    return members;
}

namespace {

std::vector<std::wstring> linesOf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wistringstream stream(text);
    for (std::wstring line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

} // namespace

// A longest-common-subsequence walk over the lines: what is only in expected is "-", what is
// only in actual is "+".
std::wstring lineDiff(const std::wstring& expected, const std::wstring& actual) {
    const std::vector<std::wstring> a = linesOf(expected), b = linesOf(actual);
    std::vector<std::vector<int>> common(a.size() + 1, std::vector<int>(b.size() + 1, 0));
    for (size_t i = a.size(); i-- > 0;)
        for (size_t j = b.size(); j-- > 0;)
            common[i][j] = a[i] == b[j] ? common[i + 1][j + 1] + 1
                                        : std::max(common[i + 1][j], common[i][j + 1]);
    std::wstring diff;
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        if (i < a.size() && j < b.size() && a[i] == b[j]) {
            ++i, ++j;
        } else if (i < a.size() && (j == b.size() || common[i + 1][j] >= common[i][j + 1])) {
            diff += L"-" + std::to_wstring(i + 1) + L": " + a[i] + L"\n";
            ++i;
        } else {
            diff += L"+" + std::to_wstring(j + 1) + L": " + b[j] + L"\n";
            ++j;
        }
    }
    return diff;
}

} // namespace kelmo::test

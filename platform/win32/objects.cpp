// The platform's automation objects (file system, script shell, shell) on Win32: each holds
// the real object and calls its members late-bound by name, and hands the object itself to
// scripts through Dispatchable. The browser is in webbrowser.cpp.
#include <windows.h>

#include <shlobj.h>

#include <vector>

#include "platform/win32/automation.h"
#include "platform/win32/failures.h"
#include "platform/win32/scriptbridge.h"
#include "platform/win32/implementations.h"

namespace kelmo::win32 {

namespace {

// The object in a member's result; a missing one is the "object variable not set" error.
ComPtr<IDispatch> objectIn(const Variant& result) {
    ComPtr<IDispatch> object = result.asDispatch();
    if (!object) errors::raise(errors::ObjectNotSet);
    return object;
}

ComPtr<IDispatch> callForObject(IDispatch* object, const wchar_t* name,
                                std::initializer_list<Variant> args = {}) {
    return objectIn(call(object, name, args));
}

// Arguments of a late-bound call.
Variant variantOf(const std::wstring& value) {
    return Variant(value);
}
Variant variantOf(std::int32_t value) {
    return Variant(static_cast<long>(value));
}

// Each element of a collection, through its enumerator (_NewEnum).
std::vector<Variant> elementsOf(IDispatch* collection) {
    Variant enumerator =
        invokeById(collection, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
    ComPtr<IEnumVARIANT> elements;
    const VARIANT* raw = enumerator.get();
    IUnknown* unknown = raw->vt == VT_UNKNOWN || raw->vt == VT_DISPATCH ? raw->punkVal : nullptr;
    if (!unknown) errors::raise(errors::NotImplemented, L"_NewEnum");
    throwIfFailed(unknown->QueryInterface(IID_IEnumVARIANT, elements.putVoid()), L"_NewEnum");
    std::vector<Variant> result;
    for (;;) {
        Variant element;
        ULONG fetched = 0;
        HRESULT hr = elements->Next(1, element.get(), &fetched);
        throwIfFailed(hr, L"IEnumVARIANT::Next");
        if (hr != S_OK || fetched == 0) return result;
        result.push_back(element);
    }
}

// Holds the platform object; the base of every wrapper below.
class AutomationHolder : public Dispatchable {
public:
    explicit AutomationHolder(ComPtr<IDispatch> object) : object_(std::move(object)) {}
    IDispatch* dispatch() const override { return object_.get(); }

protected:
    IDispatch* object() const { return object_.get(); }

private:
    ComPtr<IDispatch> object_;
};

// An object handed on to scripts without members of its own here (a Files collection).
class PlainAutomationObject final : public platform::AutomationObject, public AutomationHolder {
public:
    using AutomationHolder::AutomationHolder;
};

class FileSystemObject final : public platform::FileSystem, public AutomationHolder {
public:
    using AutomationHolder::AutomationHolder;

    std::wstring specialFolderPath(std::int32_t which) override {
        return get(callForObject(object(), L"GetSpecialFolder", {variantOf(which)}).get(), L"Path")
            .asString();
    }
    bool folderExists(const std::wstring& path) override {
        return call(object(), L"FolderExists", {variantOf(path)}).asBool();
    }
    // The folder object returned is dropped at once.
    void createFolder(const std::wstring& path) override {
        call(object(), L"CreateFolder", {variantOf(path)});
    }
    std::wstring folderName(const std::wstring& path) override {
        return get(folder(path).get(), L"Name").asString();
    }
    std::vector<std::wstring> folderFileNames(const std::wstring& path) override {
        std::vector<std::wstring> names;
        for (const Variant& file : elementsOf(files(path).get()))
            names.push_back(get(objectIn(file).get(), L"Name").asString());
        return names;
    }
    std::shared_ptr<platform::AutomationObject> folderFiles(const std::wstring& path) override {
        return std::make_shared<PlainAutomationObject>(files(path));
    }
    std::int32_t fileAttributes(const std::wstring& path) override {
        return get(file(path).get(), L"Attributes").asLong();
    }
    void setFileAttributes(const std::wstring& path, std::int32_t attributes) override {
        put(file(path).get(), L"Attributes", variantOf(attributes));
    }
    void copyFile(const std::wstring& source, const std::wstring& destination) override {
        call(object(), L"CopyFile", {variantOf(source), variantOf(destination), Variant(true)});
    }
    void copyFolder(const std::wstring& source, const std::wstring& destination) override {
        call(object(), L"CopyFolder", {variantOf(source), variantOf(destination), Variant(true)});
    }
    std::wstring fileName(const std::wstring& path) override {
        return call(object(), L"GetFileName", {variantOf(path)}).asString();
    }
    std::wstring extensionName(const std::wstring& path) override {
        return call(object(), L"GetExtensionName", {variantOf(path)}).asString();
    }

private:
    ComPtr<IDispatch> folder(const std::wstring& path) {
        return callForObject(object(), L"GetFolder", {variantOf(path)});
    }
    ComPtr<IDispatch> files(const std::wstring& path) {
        return objectIn(get(folder(path).get(), L"Files"));
    }
    ComPtr<IDispatch> file(const std::wstring& path) {
        return callForObject(object(), L"GetFile", {variantOf(path)});
    }
};

// The full path of a shortcut's target, read as the script shell's shortcut object reads it.
std::wstring targetOfShortcut(const std::wstring& shortcutPath) {
    ComPtr<IShellLinkW> link;
    throwIfFailed(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   link.putVoid()),
                  L"ShellLink");
    ComPtr<IPersistFile> file = link.query<IPersistFile>(IID_IPersistFile);
    if (!file) throwIfFailed(E_NOINTERFACE, L"ShellLink");
    throwIfFailed(file->Load(shortcutPath.c_str(), STGM_READ), shortcutPath.c_str());
    wchar_t target[MAX_PATH] = {};
    throwIfFailed(link->GetPath(target, MAX_PATH, nullptr, 0), shortcutPath.c_str());
    return target;
}

class ScriptShellObject final : public platform::ScriptShell, public AutomationHolder {
public:
    using AutomationHolder::AutomationHolder;

    std::int32_t popup(const std::wstring& message, std::int32_t secondsToWait,
                       const std::wstring& title, std::int32_t type) override {
        return call(object(), L"Popup",
                    {variantOf(message), variantOf(secondsToWait), variantOf(title),
                     variantOf(type)})
            .asLong();
    }
    std::wstring specialFolder(const std::wstring& name) override {
        ComPtr<IDispatch> folders = objectIn(get(object(), L"SpecialFolders"));
        return call(folders.get(), L"Item", {variantOf(name)}).asString();
    }
    std::wstring shortcutTarget(const std::wstring& shortcutPath) override {
        return targetOfShortcut(shortcutPath);
    }
    std::wstring expandEnvironment(const std::wstring& value) override {
        return call(object(), L"ExpandEnvironmentStrings", {variantOf(value)}).asString();
    }
};

// A folder returned by BrowseForFolder; its title and its path are read only when asked for.
class BrowsedFolder final : public platform::Shell::ChosenFolder {
public:
    explicit BrowsedFolder(ComPtr<IDispatch> folder) : folder_(std::move(folder)) {}
    std::wstring title() override { return get(folder_.get(), L"Title").asString(); }
    // Items, then Item with no index: the folder's own item.
    std::wstring path() override {
        ComPtr<IDispatch> self =
            callForObject(callForObject(folder_.get(), L"Items").get(), L"Item");
        return get(self.get(), L"Path").asString();
    }

private:
    ComPtr<IDispatch> folder_;
};

class ShellObject final : public platform::Shell, public AutomationHolder {
public:
    using AutomationHolder::AutomationHolder;

    // Owner window 0 and no root folder (the tree starts at the desktop).
    std::unique_ptr<ChosenFolder> browseForFolder(const std::wstring& title,
                                                  std::int32_t options) override {
        ComPtr<IDispatch> chosen =
            call(object(), L"BrowseForFolder", {variantOf(0), variantOf(title), variantOf(options)})
                .asDispatch();
        if (!chosen) return nullptr;
        return std::make_unique<BrowsedFolder>(std::move(chosen));
    }
};

class Win32ObjectFactory final : public platform::ObjectFactory {
public:
    std::shared_ptr<platform::FileSystem> createFileSystem() override {
        return std::make_shared<FileSystemObject>(createObject(L"Scripting.FileSystemObject"));
    }
    std::shared_ptr<platform::ScriptShell> createScriptShell() override {
        return std::make_shared<ScriptShellObject>(createObject(L"WScript.Shell"));
    }
    std::shared_ptr<platform::Shell> createShell() override {
        return std::make_shared<ShellObject>(createObject(L"Shell.Application"));
    }
    std::shared_ptr<platform::Browser> createBrowser() override {
        return wrapBrowser(createObject(L"InternetExplorer.Application"));
    }
};

} // namespace

std::unique_ptr<platform::ObjectFactory> makeObjectFactory() {
    return std::make_unique<Win32ObjectFactory>();
}

IDispatch* dispatchOf(const platform::AutomationObject& object) {
    const auto* holder = dynamic_cast<const Dispatchable*>(&object);
    return holder ? holder->dispatch() : nullptr;
}

} // namespace kelmo::win32

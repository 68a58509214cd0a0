// The web browser on Win32: the InternetExplorer automation object (or whatever the script
// assigned in its place) called late-bound by name, and the sink of its DWebBrowserEvents2
// events, connected through the object's connection point, that reports its OnQuit.
#include <windows.h>

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>

#include <functional>
#include <utility>

#include "platform/win32/automation.h"
#include "platform/win32/module/comobject.h"
#include "platform/win32/module/guard.h"
#include "platform/win32/scriptbridge.h"
#include "platform/win32/win32services.h"

namespace kelmo::win32 {

namespace {

using EventSinkBase =
    ComObject<Lifetime::Counted, Implements<IDispatch, IID_IDispatch, DIID_DWebBrowserEvents2>>;

// Receives the browser's events; only OnQuit is acted on. The browser may hold the sink for a
// moment after it was disconnected, so the sink forgets its handler instead of going away.
class QuitSink final : public EventSinkBase {
public:
    explicit QuitSink(std::function<void()> quit) : quit_(std::move(quit)) {}
    void forget() { quit_ = nullptr; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept override {
        if (out) *out = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID,
                                            DISPID*) noexcept override {
        return DISP_E_UNKNOWNNAME;
    }
    // The handler may disconnect and release this sink: both the sink and the handler are
    // kept alive until it returns. It runs guarded, as every entry into the module does.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                     EXCEPINFO*, UINT*) noexcept override {
        if (id != DISPID_ONQUIT || !quit_) return S_OK;
        const ComPtr<IDispatch> keptAlive = ComPtr<IDispatch>::share(this);
        return guarded(L"IEC_OnQuit", DIID_DWebBrowserEvents2, [&] {
            const std::function<void()> quit = quit_;
            quit();
        });
    }

private:
    std::function<void()> quit_;
};

// One advise on the object's DWebBrowserEvents2 connection point, undone when it goes. An
// object without that connection point stays unconnected.
class EventConnection {
public:
    EventConnection(IDispatch* object, const ComPtr<QuitSink>& sink) {
        ComPtr<IConnectionPointContainer> points =
            ComPtr<IDispatch>::share(object).query<IConnectionPointContainer>(
                IID_IConnectionPointContainer);
        if (!points || FAILED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, point_.put())))
            return;
        if (FAILED(point_->Advise(static_cast<IDispatch*>(sink.get()), &cookie_))) point_ = nullptr;
    }
    EventConnection(const EventConnection&) = delete;
    EventConnection& operator=(const EventConnection&) = delete;
    ~EventConnection() {
        if (point_) point_->Unadvise(cookie_);
    }

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// A member the object does not have means that IEC holds something other than a browser.
template <typename Call> auto onTheBrowser(const wchar_t* member, Call call) {
    try {
        return call();
    } catch (const KelmoError& error) {
        const auto hr = static_cast<HRESULT>(error.number());
        if (hr != DISP_E_UNKNOWNNAME && hr != DISP_E_MEMBERNOTFOUND) throw;
        throw KelmoError(error.number(),
                         std::wstring(L"IEC holds no browser: it has no ") + member);
    }
}

class BrowserObject final : public platform::Browser, public Dispatchable {
public:
    explicit BrowserObject(ComPtr<IDispatch> object) : object_(std::move(object)) {}
    ~BrowserObject() override { onQuit(nullptr); }
    BrowserObject(const BrowserObject&) = delete;
    BrowserObject& operator=(const BrowserObject&) = delete;

    IDispatch* dispatch() const override { return object_.get(); }

    void onQuit(std::function<void()> quit) override {
        connection_.reset();
        if (sink_) sink_->forget();
        sink_ = nullptr;
        if (!quit) return;
        sink_ = makeComObject<QuitSink>(std::move(quit));
        connection_ = std::make_unique<EventConnection>(object_.get(), sink_);
    }
    void navigate(const std::wstring& address) override {
        onTheBrowser(L"Navigate",
                     [&] { return call(object_.get(), L"Navigate", {Variant(address)}); });
    }
    void setVisible(bool visible) override {
        onTheBrowser(L"Visible", [&] { put(object_.get(), L"Visible", Variant(visible)); });
    }
    bool busy() override {
        return onTheBrowser(L"Busy", [&] { return get(object_.get(), L"Busy").asBool(); });
    }
    void setAddressBar(bool shown) override {
        onTheBrowser(L"AddressBar", [&] { put(object_.get(), L"AddressBar", Variant(shown)); });
    }
    void writeDocument(const std::wstring& markup) override {
        call(document().get(), L"Write", {Variant(markup)});
    }
    std::wstring documentTitle() override { return get(document().get(), L"Title").asString(); }
    void goBack() override {
        onTheBrowser(L"GoBack", [&] { return call(object_.get(), L"GoBack"); });
    }
    void refresh() override {
        onTheBrowser(L"Refresh", [&] { return call(object_.get(), L"Refresh"); });
    }

private:
    // A browser without a page has no document: the object-not-set error.
    ComPtr<IDispatch> document() {
        ComPtr<IDispatch> document =
            onTheBrowser(L"Document", [&] { return get(object_.get(), L"Document"); }).asDispatch();
        if (!document) errors::raise(errors::ObjectNotSet, L"IEC.Document");
        return document;
    }

    ComPtr<IDispatch> object_;
    ComPtr<QuitSink> sink_;
    std::unique_ptr<EventConnection> connection_;
};

} // namespace

std::shared_ptr<platform::Browser> wrapBrowser(ComPtr<IDispatch> browser) {
    return std::make_shared<BrowserObject>(std::move(browser));
}

} // namespace kelmo::win32

// The content viewer frmKelmo: one window per thread, shared by the objects of that thread,
// created on first use and kept hidden between shows. It holds a picture (Image1, painted
// stretched over the whole inner area, as a windowless image control would) or a multi-line
// text box (Text1), and a countdown (Timer1). A first click stops the countdown; a second
// click, a double-click or the countdown closes the viewer (hides it, which ends the modal
// show, and resets it); the close box resets it and unloads the window.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>
#include <olectl.h>

#include <memory>
#include <utility>

#include "base/error.h"
#include "platform/win32/failures.h"
#include "platform/win32/owned.h"
#include "platform/win32/module/module.h"
#include "platform/win32/implementations.h"
#include "platform/win32/measures.h"
#include "platform/win32/resources.h"
#include "platform/win32/viewer.h"
#include "platform/win32/window.h"

namespace kelmo::win32 {

namespace {

// The viewer's inner area, in twips.
constexpr int ClientWidthTwips = 4680, ClientHeightTwips = 3195;
constexpr DWORD FrameStyle = WS_OVERLAPPEDWINDOW;
constexpr UINT_PTR CountdownTimer = 1;
constexpr UINT_PTR TextClicksSubclass = 1;
constexpr wchar_t ViewerClassName[] = L"KelmoViewer";
// Sent by Text1 to the viewer: a click, or a double-click.
constexpr UINT TextClicked = WM_APP + 1, TextDoubleClicked = WM_APP + 2;

// The font of Text1: Japanese glyphs on every Japanese system, 9 points at the screen's DPI.
Font textFont(UINT dpi) {
    LOGFONTW description{};
    description.lfHeight = -MulDiv(9, static_cast<int>(dpi), 72);
    description.lfWeight = FW_NORMAL;
    description.lfCharSet = SHIFTJIS_CHARSET;
    wcscpy_s(description.lfFaceName, L"MS UI Gothic");
    return Font(CreateFontIndirectW(&description));
}

// A picture that is not there fails as the classic loader fails, with the run-time error
// numbers scripts test for: 53 for a missing file, 76 for a missing folder (and 481 for a file
// that is no picture, below).
[[noreturn]] void throwOpenFailure(const std::wstring& path) {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
        errors::raise(errors::FileNotFound, path);
    case ERROR_PATH_NOT_FOUND:
        errors::raise(errors::PathNotFound, path);
    default:
        throwLastError(L"LoadPicture");
    }
}

// A picture file through the platform's picture loader (BMP, DIB, GIF, JPEG, ICO, CUR, WMF,
// EMF): the file is read into memory and handed over as a stream.
ComPtr<IPicture> loadPicture(const std::wstring& path) {
    Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr));
    if (!file) throwOpenFailure(path);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) throwLastError(L"LoadPicture");
    if (size.QuadPart > MAXLONG) errors::raise(errors::InvalidPicture, path);
    const auto bytes = static_cast<DWORD>(size.QuadPart);
    GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes ? bytes : 1));
    if (!memory) throwLastError(L"GlobalAlloc");
    DWORD read = 0;
    void* data = GlobalLock(memory.get());
    const BOOL readAll = ReadFile(file.get(), data, bytes, &read, nullptr) && read == bytes;
    GlobalUnlock(memory.get());
    if (!readAll) throwLastError(L"LoadPicture");
    ComPtr<IStream> stream;
    throwIfFailed(CreateStreamOnHGlobal(memory.get(), TRUE, stream.put()), L"LoadPicture");
    (void)memory.release(); // the stream frees it
    // Short of memory, the loader fails as it is; whatever else it finds wrong with the bytes,
    // the file is no picture it can show.
    ComPtr<IPicture> picture;
    const HRESULT loaded = OleLoadPicture(stream.get(), static_cast<LONG>(bytes), FALSE,
                                          IID_IPicture, picture.putVoid());
    if (loaded == E_OUTOFMEMORY) throwIfFailed(loaded, L"LoadPicture");
    if (FAILED(loaded)) errors::raise(errors::InvalidPicture, path);
    return picture;
}

// Draws the picture over the whole rectangle; the aspect ratio is not kept.
void renderStretched(IPicture& picture, HDC dc, const RECT& area) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture.get_Width(&width);
    picture.get_Height(&height);
    picture.Render(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, 0,
                   height, width, -height, nullptr);
}

// Text1 reports its clicks and double-clicks to the viewer, which reacts to them as to its
// own. The release that ends a double-click is no click.
LRESULT CALLBACK textClicks(HWND text, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR afterDoubleClick) noexcept {
    auto* skipRelease = reinterpret_cast<bool*>(afterDoubleClick);
    const LRESULT result = DefSubclassProc(text, message, wParam, lParam);
    switch (message) {
    case WM_LBUTTONDBLCLK:
        *skipRelease = true;
        SendMessageW(GetParent(text), TextDoubleClicked, 0, 0);
        break;
    case WM_LBUTTONUP:
        if (!std::exchange(*skipRelease, false)) SendMessageW(GetParent(text), TextClicked, 0, 0);
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(text, textClicks, TextClicksSubclass);
        break;
    default:
        break;
    }
    return result;
}

class ViewerWindow final : public platform::Viewer,
                           public Window,
                           public std::enable_shared_from_this<ViewerWindow> {
public:
    ~ViewerWindow() override;

    void setCaption(const std::wstring& caption) override {
        load();
        SetWindowTextW(hwnd(), caption.c_str());
    }
    void showPicture(const std::wstring& path) override {
        load();
        picture_ = loadPicture(path);
        InvalidateRect(hwnd(), nullptr, TRUE);
    }
    void showText() override {
        load();
        ShowWindow(text_, SW_SHOW);
    }
    void appendText(const std::wstring& text) override {
        load();
        const LRESULT end = GetWindowTextLengthW(text_);
        SendMessageW(text_, EM_SETSEL, static_cast<WPARAM>(end), end);
        SendMessageW(text_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void replaceText(const std::wstring& text) override {
        load();
        SetWindowTextW(text_, text.c_str());
    }
    void setTimerInterval(std::int32_t milliseconds) override {
        intervalMs_ = static_cast<UINT>(milliseconds);
    }
    void showModal() override;
    void reset() override;

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void load();
    void fitToInnerArea();
    void startCountdown();
    void stopCountdown();
    void click();
    // Hides the viewer: the modal show ends and the viewer is reset.
    void close() { ShowWindow(hwnd(), SW_HIDE); }
    void endShow();
    void paint();

    HWND text_ = nullptr;
    Font font_;
    ComPtr<IPicture> picture_;
    UINT intervalMs_ = 4000;
    bool counting_ = false;        // Timer1 enabled (an interval of 0 never fires)
    bool showing_ = false;         // a modal show is under way
    bool pressed_ = false;         // the left button went down on the viewer itself
    bool textAfterDouble_ = false; // Text1's next release ends a double-click
};

// The viewer of this thread, owned by the objects that use it; gone with the last of them.
thread_local ViewerWindow* threadViewer = nullptr;

ViewerWindow::~ViewerWindow() {
    if (threadViewer == this) threadViewer = nullptr;
    destroy(); // while the font and the picture are still there
}

// The Load event: the window, centred, with its inner area of the given twips at the screen's
// DPI, and Text1 hidden and empty; then the resize behaviour.
void ViewerWindow::load() {
    if (hwnd()) return;
    const UINT dpi = dpiOf(nullptr);
    RECT bounds{0, 0, twipsToPixels(ClientWidthTwips, dpi), twipsToPixels(ClientHeightTwips, dpi)};
    AdjustWindowRectEx(&bounds, FrameStyle, FALSE, 0);
    OffsetRect(&bounds, -bounds.left, -bounds.top);
    const WindowClass viewerClass{ViewerClassName, CS_DBLCLKS,
                                  LoadIconW(thisModule(), MAKEINTRESOURCEW(KELMO_ICON_ID))};
    create(viewerClass, L"frmKelmo", FrameStyle, 0, bounds);
    text_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                            WS_CHILD | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, 0, 0,
                            hwnd(), nullptr, thisModule(), nullptr);
    if (!text_) {
        const DWORD error = GetLastError();
        destroy();
        SetLastError(error);
        throwLastError(L"CreateWindowEx");
    }
    font_ = textFont(dpi);
    SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    SendMessageW(text_, EM_SETLIMITTEXT, 0, 0); // as much as the control takes
    SetWindowSubclass(text_, textClicks, TextClicksSubclass,
                      reinterpret_cast<DWORD_PTR>(&textAfterDouble_));
    centre(hwnd(), CentreWithin::Screen);
    fitToInnerArea();
}

void ViewerWindow::fitToInnerArea() {
    RECT inner{};
    GetClientRect(hwnd(), &inner);
    MoveWindow(text_, 0, 0, inner.right, inner.bottom, TRUE);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

void ViewerWindow::showModal() {
    load();
    showing_ = true;
    pressed_ = false;
    startCountdown();
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    runModal(SW_SHOW);
    endShow(); // also when the run ended some other way
}

void ViewerWindow::startCountdown() {
    counting_ = true;
    if (intervalMs_ > 0) SetTimer(hwnd(), CountdownTimer, intervalMs_, nullptr);
}

void ViewerWindow::stopCountdown() {
    counting_ = false;
    if (hwnd()) KillTimer(hwnd(), CountdownTimer);
}

void ViewerWindow::click() {
    if (!showing_) return;
    if (counting_)
        stopCountdown();
    else
        close();
}

void ViewerWindow::endShow() {
    if (!showing_) return;
    showing_ = false;
    endModal(0);
    reset();
}

void ViewerWindow::reset() {
    picture_.reset();
    if (text_ && hwnd()) {
        ShowWindow(text_, SW_HIDE);
        SetWindowTextW(text_, L"");
    }
    stopCountdown();
    if (hwnd()) InvalidateRect(hwnd(), nullptr, TRUE);
}

void ViewerWindow::paint() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd(), &paint);
    if (picture_) {
        RECT inner{};
        GetClientRect(hwnd(), &inner);
        renderStretched(*picture_.get(), dc, inner);
    }
    EndPaint(hwnd(), &paint);
}

LRESULT ViewerWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (text_) fitToInnerArea();
        return 0;
    case WM_PAINT:
        paint();
        return 0;
    case WM_LBUTTONDOWN:
        pressed_ = true;
        return 0;
    case WM_LBUTTONUP:
        if (std::exchange(pressed_, false)) click();
        return 0;
    case WM_LBUTTONDBLCLK: // its first click came before
    case TextDoubleClicked:
        pressed_ = false;
        if (showing_) close();
        return 0;
    case TextClicked:
        click();
        return 0;
    case WM_TIMER:
        if (wParam == CountdownTimer) close();
        return 0;
    case WM_SHOWWINDOW:
        if (!wParam) endShow();
        break;
    case WM_CLOSE: // the close box or the system's close key: reset, and unload
        endShow();
        reset();
        destroy();
        return 0;
    case WM_DESTROY:
        picture_.reset();
        text_ = nullptr;
        break;
    default:
        break;
    }
    return Window::handleMessage(message, wParam, lParam);
}

} // namespace

void unregisterViewerClass() {
    UnregisterClassW(ViewerClassName, thisModule());
}

std::shared_ptr<platform::Viewer> viewerOfThisThread() {
    if (threadViewer) return threadViewer->shared_from_this();
    auto viewer = std::make_shared<ViewerWindow>();
    threadViewer = viewer.get();
    return viewer;
}

} // namespace kelmo::win32

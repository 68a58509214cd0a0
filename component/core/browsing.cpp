// The browser members: IE (opening an address in the one browser, which it starts and
// registers as an application the first time), IEver and IEtab (measured once in a page of
// their own, then remembered), oIE, and IEC with its OnQuit event.
#include "component/core/object.h"

#include "base/text.h"
#include "component/core/calls.h"

#include <string_view>
#include <utility>

namespace kelmo {

namespace {
// Writing this into the page makes the browser's version string its title.
const wchar_t VersionScript[] =
    L"<SCRIPT LANGUAGE='VBScript'>document.title = navigator.appVersion</SCRIPT>";
// Three buttons labelled 3, 2, 1 in this order; a click sets the page's title to the label.
const wchar_t TabButtons[] = L"<INPUT TYPE = 'button' VALUE = '3' onClick = 'document.title = 3'>"
                             L"<INPUT TYPE = 'button' VALUE = '2' onClick = 'document.title = 2'>"
                             L"<INPUT TYPE = 'button' VALUE = '1' onClick = 'document.title = 1'>";
const std::wstring FileScheme = L"file:";
// The longest address the browser takes (INTERNET_MAX_URL_LENGTH).
constexpr std::size_t MaxAddressChars = 2083;

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// The decimal number that starts `text` after its blanks ("5.5; Windows" gives 5.5); 0 when
// none stands there.
float leadingNumber(std::wstring_view text) {
    std::size_t i = text.find_first_not_of(L" \t");
    if (i == std::wstring_view::npos) return 0;
    double sign = 1;
    if (text[i] == L'-' || text[i] == L'+') sign = text[i++] == L'-' ? -1 : 1;
    double value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i)
        value = value * 10 + (text[i] - L'0');
    if (i < text.size() && text[i] == L'.') {
        double scale = 1;
        for (++i; i < text.size() && isDigit(text[i]); ++i)
            value += (text[i] - L'0') * (scale /= 10);
    }
    return static_cast<float>(sign * value);
}

// The browser's version in its version string: the number right after "MSIE" (any case), or,
// without that marker, the number from the fourth character on.
float versionIn(const std::wstring& versionString) {
    const std::size_t marker = text::lower(versionString).find(L"msie");
    const std::size_t from = marker == std::wstring::npos ? 3 : marker + 4;
    return from < versionString.size() ? leadingNumber(versionString.substr(from)) : 0;
}

// The label a button wrote into the title: its first character as a digit, 0 when it is none.
std::int16_t labelIn(const std::wstring& title) {
    return !title.empty() && isDigit(title[0]) ? static_cast<std::int16_t>(title[0] - L'0') : 0;
}
} // namespace

CKelmo::~CKelmo() {
    if (iec_) iec_->onQuit(nullptr);
}

// An address longer than the browser takes is refused to the script before anything is done.
// Every other failure after the first guard goes to the launch error box, which ends the run;
// also a browser that cannot be started, or IEC emptied by the script while the browser is
// open.
std::int16_t CKelmo::IE(const std::wstring& wURL, std::int32_t nCmdShow) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    const std::wstring address = browserAddress(wURL);
    if (address.size() > MaxAddressChars)
        errors::raise(errors::InvalidCall, L"IE: the address is longer than " +
                                               std::to_wstring(MaxAddressChars) + L" characters");
    try {
        if (!browser_.isOpen()) {
            apps_.registerApplication();
            IEC(sv_.objects.createBrowser());
            browser_.opened();
        }
        browserInIEC()->navigate(address);
        browserInIEC()->setVisible(true);
        browser_.waitForPage([this] { return browserInIEC(); });
        pacer_.guardBreak();
        const std::int16_t result = apps_.count();
        pacer_.paceWait();
        // The last entry, whichever application it belongs to: the browser's own only when no
        // other was registered after it.
        apps_.window(apps_.count()) = sv_.windows.foreground();
        if (nCmdShow != ShowAsLaunched) showApplication(nCmdShow, 0);
        return result;
    } catch (const KelmoError& error) {
        launchFailed(error);
    }
}

// "http:" addresses as they are; "file:" followed by any number of slashes as "file://" and
// the completed path; anything else completed as a path (a text with a colon stays as it is).
std::wstring CKelmo::browserAddress(const std::wstring& wURL) const {
    const std::wstring address = text::trimSpaces(wURL);
    const std::wstring scheme = text::lower(address.substr(0, FileScheme.size()));
    if (scheme == L"http:") return address;
    if (scheme != FileScheme) return paths_.fullPath(address);
    const std::size_t path = address.find_first_not_of(L'/', FileScheme.size());
    return L"file://" + paths_.fullPath(path == std::wstring::npos ? L"" : address.substr(path));
}

std::shared_ptr<platform::Browser> CKelmo::browserInIEC() {
    if (!iec_) errors::raise(errors::ObjectNotSet, L"IEC");
    return iec_;
}

// The first call writes a script into the page that puts the version string into its title,
// and reads the version from there; later calls return it. A version not found (0) is looked
// for again next time.
float CKelmo::IEver() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    browserInIEC()->setAddressBar(true);
    if (ieverCache_ == 0) {
        browserInIEC()->writeDocument(VersionScript);
        ieverCache_ = versionIn(browserInIEC()->documentTitle());
        leaveMeasuringPage();
    }
    sv_.clock.pumpMessages();
    return ieverCache_;
}

// The first call writes three buttons into the page and presses Tab three times and Enter:
// the button that Enter reaches tells how many presses the first control of a page takes.
// Every call then presses Tab that many times, moving the focus into the page. A count not
// found (0) is measured again next time.
std::int16_t CKelmo::IEtab() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    browserInIEC()->setAddressBar(true);
    if (ietabCache_ == 0) {
        browserInIEC()->writeDocument(TabButtons);
        sendKeys(L"{tab 3}{enter}");
        pacer_.paceWait();
        ietabCache_ = labelIn(browserInIEC()->documentTitle());
        leaveMeasuringPage();
    }
    for (std::int16_t i = 0; i < ietabCache_; ++i)
        sendKeys(L"{tab}");
    sv_.clock.pumpMessages();
    return ietabCache_;
}

// Back to the page the script had open, the focus out of the page and the page reloaded.
void CKelmo::leaveMeasuringPage() {
    browserInIEC()->goBack();
    sendKeys(L"^{tab}");
    browserInIEC()->refresh();
    pacer_.paceWait();
}

std::shared_ptr<platform::AutomationObject> CKelmo::oIE() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    pacer_.guardBreak();
    return iec_;
}

void CKelmo::IEC(std::shared_ptr<platform::Browser> browser) {
    if (browser == iec_) return;
    if (browser) browser->onQuit([this] { IEC_OnQuit(); });
    if (iec_) iec_->onQuit(nullptr);
    iec_ = std::move(browser);
}

// The browser's entry in the application table stays; the caches are kept.
void CKelmo::IEC_OnQuit() {
    const std::shared_ptr<platform::Browser> quitting = std::exchange(iec_, nullptr);
    browser_.quit();
    if (quitting) quitting->onQuit(nullptr);
}

} // namespace kelmo

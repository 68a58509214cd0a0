// CKelmo: the automation object's members and public variables, free of COM and of Windows
// headers. The COM layer (dispatch.cpp) maps each entry of _CKelmo onto one member here. The
// mechanisms live in their own classes (Pacer, AppTable, PathCompleter, BrowserSession); the
// members combine them and reach the desktop only through platform::Services. Each subsystem's
// members are defined in their own file: object.cpp (creation, platform objects), pacing.cpp,
// keys.cpp, apps.cpp, browsing.cpp, dialogs.cpp, folders.cpp.
#pragma once

#include "base/error.h"
#include "component/core/apptable.h"
#include "component/core/browser.h"
#include "component/core/folderguard.h"
#include "component/core/folderwork.h"
#include "component/core/keyscript.h"
#include "component/core/pacer.h"
#include "component/core/paths.h"
#include "component/core/tuning.h"
#include "platform/services.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelmo {

// The tuning variables (Atom, Mol1, Mol2, Speed, ODflag, Repeat, RestMax) are public members
// inherited from Tuning, under the interface's names.
class CKelmo : public Tuning {
public:
    // Object creation: the defaults, application 0, the Pause key's flag, DefFld and WinDrv.
    // Throws KelmoError when the file-system object cannot give the Windows folder.
    explicit CKelmo(platform::Services& services);

    // Disconnects the browser's events: they call this object.
    ~CKelmo();
    CKelmo(const CKelmo&) = delete;
    CKelmo& operator=(const CKelmo&) = delete;

    // Application table (apps).
    std::wstring Title();
    std::int16_t Mark(const std::wstring& strText);
    std::int16_t AppNum();
    std::int16_t AppCur();
    void AppCur(std::int16_t value);
    std::int32_t AppShow(std::int32_t nCmdShow, std::int16_t AppWnd);
    std::int16_t AdjustT(const std::wstring& strText);

    // Launching (apps).
    std::int16_t Exec(const std::wstring& strText, std::int32_t nCmdShow);
    std::int16_t Run(const std::wstring& strText1, std::int16_t WinStyle);

    // The browser (browsing).
    std::int16_t IE(const std::wstring& wURL, std::int32_t nCmdShow);
    float IEver();
    std::int16_t IEtab();
    std::shared_ptr<platform::AutomationObject> oIE();
    // The browser that IE opened or the script assigned; nothing before either.
    std::shared_ptr<platform::Browser> IEC() const { return iec_; }
    // Set IEC = browser: the previous browser's events are disconnected, the new one's
    // connected (they come to IEC_OnQuit). IEOpen stays as it is.
    void IEC(std::shared_ptr<platform::Browser> browser);
    // The browser's OnQuit event: the browser is forgotten, and the next IE opens a new one.
    void IEC_OnQuit();

    // Pause, rest and pacing mode (pacing).
    std::int16_t Break(const std::wstring& strText);
    void ODOn();
    void ODOff();
    void Rest(std::int32_t Sec, bool fWait);
    void RestOld(std::int32_t Sec, bool fWait);

    // Keys and the clipboard (keys).
    void Send(const std::wstring& strText2);
    void Pass(const std::wstring& strCB, std::int16_t iEnt);
    void PassF(const std::wstring& strCB, std::int16_t iEnt);

    // Popups, viewer, sound (dialogs).
    std::int16_t Popup(const std::wstring& strText, std::int32_t natSecondsToWait,
                       const std::wstring& strTitle, std::int32_t natType);
    std::int16_t Popup2(const std::wstring& strTextA, std::int32_t natSecondsToWait,
                        std::int16_t iButton);
    std::int16_t Popup3(const std::wstring& strTextA, std::int32_t natSecondsToWait,
                        std::int16_t iButton);
    void FrmShow(const std::wstring& strPath, std::int16_t nSec);
    void Sound(const std::wstring& strSnd);

    // Folders (folders).
    std::wstring FldSet(const std::wstring& strSPath);
    std::wstring FldSetD(const std::vector<std::wstring>& strWC);
    std::wstring FldCopy(const std::wstring& strSPath, const std::wstring& strDPath);
    void FldDelete(const std::optional<std::wstring>& strSPath);
    void Update();
    std::shared_ptr<platform::AutomationObject> FldFiles();
    std::shared_ptr<platform::AutomationObject> oShell();
    std::shared_ptr<platform::AutomationObject> FS();
    std::wstring DefFld();
    void DefFld(const std::wstring& value);
    std::wstring WinDrv();

    // The mechanisms, read-only, for the owner and tests.
    const AppTable& apps() const { return apps_; }
    const Pacer& pacer() const { return pacer_; }
    bool holdsFileSystem() const { return fs_ != nullptr; }
    const std::wstring& currentFolder() const { return curFld_; } // CurFld
    // The browser session: IE opens it, the browser's OnQuit event ends it.
    BrowserSession& browser() { return browser_; }

private:
    // Send without its own call scope, for the members that type through it; `beforeEachPiece`
    // runs right before each piece is delivered.
    void sendKeys(const std::wstring& script, const std::function<void()>& beforeEachPiece = {});

    // Typing and pasting across programs (keys.cpp).
    class TypingPauses;
    class DesktopTurn;
    void waitForDesktopTurn();
    void putClipboardBack(const platform::Clipboard::Snapshot& saved);
    void putClipboardBackBeforeTheRunEnds(const platform::Clipboard::Snapshot& saved);
    static void refuseNul(const std::wstring& text, const wchar_t* what);

    // The application table and launching (apps.cpp).
    static constexpr std::int32_t ShowAsLaunched = 8; // Exec's and IE's nCmdShow: leave it be
    std::int32_t showApplication(std::int32_t nCmdShow, std::int16_t AppWnd);
    void waitUntilReadyForInput(platform::ProcessId process);
    void waitForNewWindow(platform::WindowHandle before);
    [[noreturn]] void launchFailed(const KelmoError& error);

    // The browser (browsing.cpp).
    std::wstring browserAddress(const std::wstring& wURL) const;
    std::shared_ptr<platform::Browser> browserInIEC();
    void leaveMeasuringPage();

    // Key delivery (keys.cpp).
    void deliverPiece(const Piece& piece);
    void typeKeys(const std::wstring& script);
    void pressPrintScreen(std::uint8_t scan);
    void pressChord(const Chord& chord);
    void pressChordTimes(std::int16_t count, const Chord& chord);
    template <typename Paste> void passThroughClipboard(const std::wstring& text, Paste paste);

    // Folder choice (folders.cpp). askFolder's answer is nothing when the user gave none (the
    // pass restarts); `proposal`, when given, turns the proposed path into the confirmation
    // box's text.
    using Proposal = std::function<std::wstring(const std::wstring& proposed)>;
    std::optional<std::wstring> askFolder(FailureTrap& trap, const std::wstring& browseTitle,
                                          const std::wstring& confirmTitle,
                                          const Proposal& proposal);
    FolderRequest requestOf(const std::wstring& argument);
    std::optional<std::wstring> requestedFolder(FailureTrap& trap, const FolderRequest& request,
                                                const std::wstring& browseTitle,
                                                const std::wstring& confirmTitle,
                                                const Proposal& proposal = {});
    struct SourceStage {
        std::wstring browseTitle, confirmTitle, missing, failed; // missing/failed: box texts
    };
    std::optional<std::wstring> existingSource(FailureTrap& trap, FolderRequest& request,
                                               const SourceStage& stage);
    std::wstring settleFolder(FolderRequest request);
    std::wstring gatherOntoDesktop(const GatherArguments& arguments);
    void clearReadOnlyFlags(const std::wstring& folder);
    struct CopyOutcome {
        std::optional<std::wstring> copiedTo; // the destination, when the copy was made
        std::optional<std::wstring> refusal;  // why it was not even tried
    };
    CopyOutcome copyStage(FailureTrap& trap, const std::wstring& source,
                          FolderRequest& destination);
    void deleteFolder(FailureTrap& trap, const std::wstring& path);
    std::vector<KeptFolder> keptFolders();
    void failureBox(const std::wstring& text, std::int32_t number);
    void refusalBox(const std::wstring& text, const std::wstring& reason);
    SameText sameText();
    // Popups and the viewer (dialogs.cpp).
    std::int32_t timedBox(const std::wstring& text, std::int32_t secondsToWait,
                          const std::wstring& title, std::int32_t style);
    // `iButton` when it names one of the box's buttons, else one of them at random.
    std::int16_t defaultButton(std::int16_t iButton, std::int16_t buttons);
    void showTextFile(const std::wstring& path);

    // Platform objects, created on first use.
    platform::FileSystem& fileSystem();
    platform::ScriptShell& scriptShell();
    platform::Shell& shell();

    platform::Services& sv_;
    AppTable apps_;
    Pacer pacer_;
    PathCompleter paths_;
    BrowserSession browser_;
    std::shared_ptr<platform::Browser> iec_; // IEC, its events connected to IEC_OnQuit
    FolderGuard guard_;
    float ieverCache_ = 0;        // IEverCache: the version IEver found, 0 until then
    std::int16_t ietabCache_ = 0; // IEtabCache: the Tab presses IEtab found, 0 until then
    int runningCalls_ = 0;        // members under way, counting those entered from a message pump
    int desktopTurns_ = 0; // DesktopTurn scopes open: the session's turn is ours while above 0

    std::wstring clipText_; // the clipboard's text while a paste is under way
    std::wstring curFld_;   // CurFld: the folder last settled on, ending with "\"

    std::shared_ptr<platform::FileSystem> fs_;
    std::shared_ptr<platform::ScriptShell> scriptShell_;
    std::shared_ptr<platform::Shell> shell_;
};

} // namespace kelmo

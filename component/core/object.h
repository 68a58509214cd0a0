// CKelmo: the automation object's state and members, free of COM and of Windows headers.
// The COM layer (dispatch.cpp) maps each entry of _CKelmo onto one member here; the members
// reach the desktop only through platform::Services. Each subsystem's members are defined in
// their own file: object.cpp (creation, stored variables, platform objects), pacing.cpp,
// keys.cpp, apps.cpp, dialogs.cpp, folders.cpp.
#pragma once

#include "platform/services.h"
#include "base/error.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelmo {

class CKelmo {
public:
    // Object creation: the defaults, application 0, the Pause key's flag, DefFld and WinDrv.
    // Throws KelmoError when the file-system object cannot give the Windows folder.
    explicit CKelmo(platform::Services& services);

    CKelmo(const CKelmo&) = delete;
    CKelmo& operator=(const CKelmo&) = delete;

    // The eight public variables: stored and returned without checks or side effects.
    std::int32_t Atom = 25;
    std::int32_t Mol1 = 100;
    std::int32_t Mol2 = 1000;
    std::int32_t Speed = 90;
    bool ODflag = true;
    std::int16_t Repeat = 5;
    std::int32_t RestMax = 10;
    std::shared_ptr<platform::Browser> IEC;

    // Application table (apps).
    std::wstring Title();
    std::int16_t Mark(const std::wstring& strText);
    std::int16_t AppNum();
    std::int16_t AppCur();
    void AppCur(std::int16_t value);
    std::int32_t AppShow(std::int32_t nCmdShow, std::int16_t AppWnd);
    std::int16_t AdjustT(const std::wstring& strText);

    // Launching and the browser (apps).
    std::int16_t Exec(const std::wstring& strText, std::int32_t nCmdShow);
    std::int16_t Run(const std::wstring& strText1, std::int16_t WinStyle);
    std::int16_t IE(const std::wstring& wURL, std::int32_t nCmdShow);
    float IEver();
    std::int16_t IEtab();
    std::shared_ptr<platform::AutomationObject> oIE();

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

    // Read-only views of private state, for the owner and tests.
    std::int32_t settleMs() const { return SettleMs; }
    std::int16_t appPrev() const { return AppPrev; }
    const std::vector<platform::WindowHandle>& appWnds() const { return AppWnds; }
    const std::vector<platform::ProcessId>& appPids() const { return AppPids; }
    bool holdsFileSystem() const { return fs_ != nullptr; }

private:
    // Shared private routines.
    void BringToFront(platform::WindowHandle window);
    platform::WindowHandle& currentAppWindow();
    void GuardBreak();
    void PaceWait();
    void LaunchWait();
    std::int32_t ReadCpuUsage();
    std::int16_t PauseBox(const std::wstring& strText);
    void accumulateIdle(std::int32_t required);
    void sleepOneStep(std::int64_t& deadline, std::int32_t step);
    bool checkPauseKey();
    std::wstring pauseMessage(const std::wstring& strText) const;

    // Path completion (paths.cpp).
    std::wstring FullPath(const std::wstring& path) const;
    std::wstring QuotedPath(const std::wstring& path);
    std::wstring QuotedProgram(const std::wstring& program);
    std::wstring QuotedCommand(const std::wstring& command, std::int16_t separator);

    // Key delivery (keys.cpp).
    struct Chord {
        std::uint8_t key;
        std::optional<std::uint8_t> extra1, extra2;
    };
    void deliverPiece(const std::wstring& piece);
    void typeKeys(const std::wstring& script);
    static Chord chordFromWindow(const std::wstring& window, std::uint8_t key);
    void PressPrintScreen(std::uint16_t scan);
    void PressChord(const Chord& chord);
    void PressChordTimes(std::int16_t count, const Chord& chord);
    void browserWait();
    template <typename Paste> void passThroughClipboard(const std::wstring& text, Paste paste);
    void restorePendingClipboard();

    // Platform objects, created on first use.
    platform::FileSystem& fileSystem();
    platform::ScriptShell& scriptShell();
    platform::Shell& shell();

    platform::Services& sv_;

    std::wstring CrLf;
    std::int32_t SettleMs = 100;
    bool IEOpen = false;
    std::int16_t IEIdleMs = 600;
    std::int16_t IEtabCache = 0;
    float IEverCache = 0;
    std::wstring DefFld_;
    std::wstring WinDrv_;
    std::wstring CurFld;
    std::int16_t AppNum_ = 0;
    std::int16_t AppCur_ = 0;
    std::int16_t AppPrev = 0;
    std::vector<platform::ProcessId> AppPids;
    std::vector<platform::WindowHandle> AppWnds;
    std::array<std::wstring, 2> BreakWhyText;
    std::int16_t BreakWhy = 0;
    bool pausing_ = false;                                    // inside the pause box
    std::unique_ptr<platform::Clipboard::Snapshot> ClipSaved; // set while a paste is under way
    std::wstring ClipText;

    std::optional<platform::System::ProcessorTimes> cpuBaseline_;
    std::int32_t lastCpuUsage_ = 0;

    std::shared_ptr<platform::FileSystem> fs_;
    std::shared_ptr<platform::ScriptShell> scriptShell_;
    std::shared_ptr<platform::Shell> shell_;
};

} // namespace kelmo

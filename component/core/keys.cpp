// Typing key scripts piece by piece and passing text through the clipboard: Send (with its
// pieces, raw Print Screen / Esc / Tab chords and the browser wait), Pass and PassF.
#include "component/core/object.h"
#include "base/checked.h"
#include "component/core/calls.h"
#include "component/core/keyscript.h"

#include <functional>
#include <utility>

namespace kelmo {

namespace {
constexpr std::uint8_t VkPrintScreen = 44;
constexpr std::uint32_t KeyDown = 0, KeyUp = 2;
constexpr std::int32_t DesktopTurnPollMs = 10;
constexpr std::int32_t ClipboardRetryMs = 10;
constexpr std::int32_t LastTriesMs = 2000;
const wchar_t* const ClipboardHeldText =
    L"クリップボードを元に戻せません（ほかのプログラムが使用中です）。\r\n"
    L"[中止]を押すと、元に戻すのをあきらめます。";
const wchar_t* const ClipboardNotRestoredText =
    L"another program kept it open and the user gave up waiting; the passed text may still be "
    L"on it";

} // namespace

// The injector's questions answered as the pacing waits answer them: messages are pumped while
// it types or waits for the application, and a Pause press opens the pause box there.
class CKelmo::TypingPauses final : public platform::KeyInjector::Pauses {
public:
    explicit TypingPauses(CKelmo& k) : k_(k) {}
    bool pauseWanted() override {
        k_.sv_.clock.pumpMessages();
        return k_.pacer_.pausePressedOrReleased();
    }
    // After the box, the keys go on into the window the user left in front.
    void pause() override {
        k_.pacer_.pauseBox(Pacer::PauseReason::PauseKey, L"");
        k_.apps_.bringCurrentToFront();
    }

private:
    CKelmo& k_;
};

// The session-wide turn at the desktop, for as long as this lives; nested scopes share it.
// Waiting for another script's turn pumps messages and listens to the Pause key.
class CKelmo::DesktopTurn {
public:
    explicit DesktopTurn(CKelmo& k) : k_(k) {
        if (k_.desktopTurns_ == 0) k_.waitForDesktopTurn();
        ++k_.desktopTurns_;
    }
    ~DesktopTurn() {
        if (--k_.desktopTurns_ == 0) k_.sv_.desktopLock.release();
    }
    DesktopTurn(const DesktopTurn&) = delete;
    DesktopTurn& operator=(const DesktopTurn&) = delete;

private:
    CKelmo& k_;
};

void CKelmo::waitForDesktopTurn() {
    while (!sv_.desktopLock.tryAcquire()) {
        sv_.clock.pumpMessages();
        if (pacer_.pausePressedOrReleased()) pacer_.pauseBox(Pacer::PauseReason::PauseKey, L"");
        sv_.clock.sleep(DesktopTurnPollMs);
    }
}

// Parses a key script whole (a malformed one types nothing) and has the platform deliver it.
void CKelmo::typeKeys(const std::wstring& script) {
    TypingPauses pauses(*this);
    sv_.keys.type(parseKeyScript(script), pauses);
}

void CKelmo::Send(const std::wstring& strText2) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    sendKeys(strText2);
}

void CKelmo::sendKeys(const std::wstring& script, const std::function<void()>& beforeEachPiece) {
    pacer_.guardBreak();
    // Held until the window in front has been adopted: another script's window must not be
    // taken for this application's.
    const DesktopTurn turn(*this);
    apps_.bringCurrentToFront();
    const std::int32_t n = checkedNarrow<std::int16_t>(script.size());
    for (std::int32_t i = 1; i <= n; ++i) {
        pacer_.paceWait();
        const Piece piece = nextPiece(script, i);
        if (beforeEachPiece) beforeEachPiece();
        deliverPiece(piece);
    }
    pacer_.launchWait();
    if (browser_.isOpen()) {
        browser_.waitUntilIdle([this] { return browserInIEC(); });
        pacer_.guardBreak();
    }
    apps_.adoptForeground();
}

void CKelmo::deliverPiece(const Piece& piece) {
    switch (piece.kind) {
    case Piece::Kind::Keys:
        return typeKeys(piece.text);
    case Piece::Kind::Chord:
        return pressChord(piece.chord);
    case Piece::Kind::RepeatedChord:
        return pressChordTimes(sv_.conversions.toInteger(piece.count), piece.chord);
    case Piece::Kind::PrintScreen:
        return pressPrintScreen(piece.scan);
    }
}

void CKelmo::pressPrintScreen(std::uint8_t scan) {
    sv_.keyboard.rawKeyEvent(VkPrintScreen, scan, KeyDown);
    pacer_.paceWait();
}

void CKelmo::pressChord(const Chord& chord) {
    auto& keyboard = sv_.keyboard;
    keyboard.rawKeyEvent(chord.key, 0, KeyDown);
    if (chord.extra1) keyboard.rawKeyEvent(*chord.extra1, 0, KeyDown);
    if (chord.extra2) {
        keyboard.rawKeyEvent(*chord.extra2, 0, KeyDown);
        keyboard.rawKeyEvent(*chord.extra2, 0, KeyUp);
    }
    if (chord.extra1) keyboard.rawKeyEvent(*chord.extra1, 0, KeyUp);
    keyboard.rawKeyEvent(chord.key, 0, KeyUp);
    pacer_.paceWait();
}

void CKelmo::pressChordTimes(std::int16_t count, const Chord& chord) {
    for (std::int32_t i = 1; i <= count; ++i)
        pressChord(chord);
}

// Pass and PassF: the user's clipboard is saved whole, the text pasted, and the clipboard
// restored, also when the paste fails or the user aborts the run meanwhile. The saved copy is
// kept until it is back. A copy the user makes during a pause replaces it: that is what the
// user wants back afterwards, and the passed text goes onto the clipboard again for the paste.
template <typename Paste> void CKelmo::passThroughClipboard(const std::wstring& text, Paste paste) {
    const DesktopTurn turn(*this);
    std::unique_ptr<platform::Clipboard::Snapshot> saved = sv_.clipboard.save();
    clipText_ = saved->text();
    bool restored = false;
    const Pacer::AbortCleanup onAbort(pacer_, [&] {
        if (!std::exchange(restored, true)) putClipboardBackBeforeTheRunEnds(*saved);
    });
    std::uint32_t ours = 0;
    std::uint32_t resumesSeen = pacer_.resumes();
    auto putTextOn = [&] {
        sv_.clipboard.setText(text);
        ours = sv_.clipboard.sequenceNumber();
        resumesSeen = pacer_.resumes();
    };
    // After a pause, a clipboard changed since the text was put there holds the user's copy.
    auto adoptUsersCopy = [&] {
        if (pacer_.resumes() == resumesSeen) return false;
        resumesSeen = pacer_.resumes();
        if (sv_.clipboard.sequenceNumber() == ours) return false;
        saved = sv_.clipboard.save();
        clipText_ = saved->text();
        return true;
    };
    try {
        pacer_.paceWait();
        putTextOn();
        apps_.bringCurrentToFront();
        pacer_.paceWait();
        paste([&] {
            if (adoptUsersCopy()) putTextOn();
        });
        pacer_.paceWait();
        adoptUsersCopy();
    } catch (...) {
        try {
            if (!restored) putClipboardBack(*saved); // unless the run ends and did it already
        } catch (...) {
            // the paste's own failure is the one to report
        }
        throw;
    }
    putClipboardBack(*saved);
    restored = true;
    pacer_.paceWait();
}

// As long as another program keeps the clipboard open, putting it back is tried again,
// pumping messages; after 10 s the Pause key opens the pause box, whose Abort gives up.
void CKelmo::putClipboardBack(const platform::Clipboard::Snapshot& saved) {
    const std::int64_t started = sv_.clock.monotonicMs();
    while (!sv_.clipboard.restore(saved)) {
        if (!pacer_.waitOutside(started, ClipboardRetryMs, Pacer::OnAbort::GiveUp,
                                ClipboardHeldText))
            errors::raise(errors::ClipboardNotRestored, ClipboardNotRestoredText);
    }
}

// The run ends: a few more tries, without boxes.
void CKelmo::putClipboardBackBeforeTheRunEnds(const platform::Clipboard::Snapshot& saved) {
    for (std::int32_t waited = 0; !sv_.clipboard.restore(saved) && waited < LastTriesMs;
         waited += ClipboardRetryMs)
        sv_.clock.sleep(ClipboardRetryMs);
}

// Text with a NUL in it would be cut there by the clipboard and by every program that pastes.
void CKelmo::refuseNul(const std::wstring& text, const wchar_t* what) {
    if (text.find(L'\0') != std::wstring::npos)
        errors::raise(errors::InvalidCall,
                      std::wstring(what) + L" contains a NUL character (code 0), which cannot be "
                                           L"passed; remove it from the text");
}

void CKelmo::Pass(const std::wstring& strCB, std::int16_t iEnt) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    refuseNul(strCB, L"The text to pass");
    pacer_.guardBreak();
    passThroughClipboard(strCB, [&](const std::function<void()>& beforePaste) {
        beforePaste();
        typeKeys(L"^v");
    });
    for (; iEnt > 0; --iEnt)
        sendKeys(L"{Enter}");
}

void CKelmo::PassF(const std::wstring& strCB, std::int16_t iEnt) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    refuseNul(strCB, L"The path to pass");
    const std::wstring path = paths_.quotedPath(strCB);
    pacer_.guardBreak();
    passThroughClipboard(
        path, [&](const std::function<void()>& beforePaste) { sendKeys(L"^v", beforePaste); });
    for (; iEnt > 0; --iEnt)
        sendKeys(L"{Enter}");
}

} // namespace kelmo

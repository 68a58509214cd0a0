// Typing key scripts piece by piece and passing text through the clipboard: Send (with its
// pieces, raw Print Screen / Esc / Tab chords and the browser wait), Pass and PassF.
#include "component/core/object.h"
#include "base/checked.h"
#include "base/text.h"
#include "component/core/keyscript.h"

namespace kelmo {

namespace {
constexpr std::uint8_t VkShift = 16, VkCtrl = 17, VkAlt = 18, VkEsc = 27, VkTab = 9,
                       VkPrintScreen = 44;
constexpr std::uint32_t KeyDown = 0, KeyUp = 2;
constexpr std::int32_t BrowserSampleMs = 100;
constexpr std::int64_t BrowserStuckAfterMs = 10000;

std::uint8_t modifierKey(wchar_t c) {
    return c == L'%' ? VkAlt : c == L'+' ? VkShift : VkCtrl;
}

} // namespace

// Parses a key script whole (a malformed one types nothing) and has the platform deliver it.
void CKelmo::typeKeys(const std::wstring& script) {
    sv_.keys.type(parseKeyScript(script));
}

void CKelmo::Send(const std::wstring& strText2) {
    GuardBreak();
    BringToFront(currentAppWindow());
    const std::int32_t n = checkedNarrow<std::int16_t>(strText2.size());
    for (std::int32_t i = 1; i <= n; ++i) {
        PaceWait();
        deliverPiece(nextPiece(strText2, i));
    }
    LaunchWait();
    if (IEOpen) {
        browserWait();
        GuardBreak();
    }
    currentAppWindow() = sv_.windows.foreground();
}

void CKelmo::deliverPiece(const std::wstring& piece) {
    // Only brace pieces get the special-key tests; a group always ends in ")".
    if (piece.empty() || piece.back() != L'}' || piece.find(L'{') == std::wstring::npos) {
        typeKeys(piece);
        return;
    }
    if (text::endsWithNoCase(piece, L"{PRTSC}")) {
        PressPrintScreen(text::right(piece, 8).front() == L'%' ? 0 : 1);
    } else if (text::endsWithNoCase(piece, L"{esc}")) {
        PressChord(chordFromWindow(text::right(piece, 7), VkEsc));
    } else if (text::endsWithNoCase(piece, L"{tab}")) {
        PressChord(chordFromWindow(text::right(piece, 7), VkTab));
    } else if (text::containsNoCase(piece, L"{tab ")) {
        const std::size_t space = piece.find(L' ');
        const std::int16_t count =
            text::toInteger(piece.substr(space + 1, piece.size() - 1 - (space + 1)));
        const std::wstring modifiers = piece.substr(0, piece.find(L'{'));
        PressChordTimes(count, chordFromWindow(text::right(modifiers, 2), VkTab));
    } else {
        typeKeys(piece);
    }
}

// The chord of a special key from the modifiers in front of it: the first modifier, then the
// second if it differs, then the key.
CKelmo::Chord CKelmo::chordFromWindow(const std::wstring& window, std::uint8_t key) {
    const wchar_t first = window.empty() ? L'\0' : window[0];
    const wchar_t second = window.size() < 2 ? L'\0' : window[1];
    if (first != L'%' && first != L'+' && first != L'^') return {key, {}, {}};
    const bool secondCounts =
        second != first && (second == L'%' || second == L'+' || second == L'^');
    if (secondCounts) return {modifierKey(first), modifierKey(second), key};
    return {modifierKey(first), key, {}};
}

void CKelmo::PressPrintScreen(std::uint16_t scan) {
    sv_.keyboard.rawKeyEvent(VkPrintScreen, static_cast<std::uint8_t>(scan & 0xFF), KeyDown);
    PaceWait();
}

void CKelmo::PressChord(const Chord& chord) {
    auto& keyboard = sv_.keyboard;
    keyboard.rawKeyEvent(chord.key, 0, KeyDown);
    if (chord.extra1) keyboard.rawKeyEvent(*chord.extra1, 0, KeyDown);
    if (chord.extra2) {
        keyboard.rawKeyEvent(*chord.extra2, 0, KeyDown);
        keyboard.rawKeyEvent(*chord.extra2, 0, KeyUp);
    }
    if (chord.extra1) keyboard.rawKeyEvent(*chord.extra1, 0, KeyUp);
    keyboard.rawKeyEvent(chord.key, 0, KeyUp);
    PaceWait();
}

void CKelmo::PressChordTimes(std::int16_t count, const Chord& chord) {
    for (std::int32_t i = 1; i <= count; ++i)
        PressChord(chord);
}

// Until the browser has not been busy for IEIdleMs (three samples suffice when it was never
// busy). A browser that stays busy for long listens to the Pause key, so the user can end it.
void CKelmo::browserWait() {
    if (!IEC) errors::raise(errors::ObjectNotSet, L"IEC");
    const std::int64_t started = sv_.clock.monotonicMs();
    std::int32_t notBusy = 0;
    auto sample = [&] {
        notBusy = IEC->busy() ? 0 : notBusy + BrowserSampleMs;
        sv_.clock.sleep(BrowserSampleMs);
    };
    for (int k = 0; k < 3; ++k)
        sample();
    if (notBusy > 200) return;
    while (notBusy <= IEIdleMs) {
        sample();
        if (sv_.clock.monotonicMs() - started > BrowserStuckAfterMs && checkPauseKey()) return;
    }
}

// Pass and PassF: the user's clipboard is saved whole, the text pasted, and the clipboard
// restored, also when the paste fails or the user aborts the run meanwhile.
template <typename Paste> void CKelmo::passThroughClipboard(const std::wstring& text, Paste paste) {
    ClipSaved = sv_.clipboard.save();
    ClipText = ClipSaved->text();
    try {
        PaceWait();
        sv_.clipboard.setText(text);
        BringToFront(currentAppWindow());
        PaceWait();
        paste();
        PaceWait();
    } catch (...) {
        try {
            restorePendingClipboard();
        } catch (...) {
            // the paste's own failure is the one to report
        }
        throw;
    }
    restorePendingClipboard();
    PaceWait();
}

void CKelmo::restorePendingClipboard() {
    if (!ClipSaved) return;
    const auto saved = std::move(ClipSaved);
    sv_.clipboard.restore(*saved);
}

void CKelmo::Pass(const std::wstring& strCB, std::int16_t iEnt) {
    GuardBreak();
    passThroughClipboard(strCB, [&] { typeKeys(L"^v"); });
    for (; iEnt > 0; --iEnt)
        Send(L"{Enter}");
}

void CKelmo::PassF(const std::wstring& strCB, std::int16_t iEnt) {
    const std::wstring path = QuotedPath(strCB);
    GuardBreak();
    passThroughClipboard(path, [&] { Send(L"^v"); });
    for (; iEnt > 0; --iEnt)
        Send(L"{Enter}");
}

} // namespace kelmo

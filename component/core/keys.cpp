// Typing key scripts piece by piece and passing text through the clipboard: Send (with its
// pieces, raw Print Screen / Esc / Tab chords and the browser wait), Pass and PassF.
#include "component/core/object.h"
#include "base/checked.h"
#include "base/text.h"
#include "component/core/calls.h"
#include "component/core/keyscript.h"

namespace kelmo {

namespace {
constexpr std::uint8_t VkShift = 16, VkCtrl = 17, VkAlt = 18, VkEsc = 27, VkTab = 9,
                       VkPrintScreen = 44;
constexpr std::uint32_t KeyDown = 0, KeyUp = 2;

std::uint8_t modifierKey(wchar_t c) {
    return c == L'%' ? VkAlt : c == L'+' ? VkShift : VkCtrl;
}

} // namespace

// Parses a key script whole (a malformed one types nothing) and has the platform deliver it.
void CKelmo::typeKeys(const std::wstring& script) {
    sv_.keys.type(parseKeyScript(script));
}

void CKelmo::Send(const std::wstring& strText2) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    sendKeys(strText2);
}

void CKelmo::sendKeys(const std::wstring& script) {
    pacer_.guardBreak();
    apps_.bringCurrentToFront();
    const std::int32_t n = checkedNarrow<std::int16_t>(script.size());
    for (std::int32_t i = 1; i <= n; ++i) {
        pacer_.paceWait();
        deliverPiece(nextPiece(script, i));
    }
    pacer_.launchWait();
    if (browser_.isOpen()) {
        browser_.waitUntilIdle(IEC.get());
        pacer_.guardBreak();
    }
    apps_.adoptForeground();
}

void CKelmo::deliverPiece(const std::wstring& piece) {
    // Only brace pieces get the special-key tests; a group always ends in ")".
    if (piece.empty() || piece.back() != L'}' || piece.find(L'{') == std::wstring::npos) {
        typeKeys(piece);
        return;
    }
    if (text::endsWithNoCase(piece, L"{PRTSC}")) {
        pressPrintScreen(text::right(piece, 8).front() == L'%' ? 0 : 1);
    } else if (text::endsWithNoCase(piece, L"{esc}")) {
        pressChord(chordFromWindow(text::right(piece, 7), VkEsc));
    } else if (text::endsWithNoCase(piece, L"{tab}")) {
        pressChord(chordFromWindow(text::right(piece, 7), VkTab));
    } else if (text::containsNoCase(piece, L"{tab ")) {
        const std::size_t space = piece.find(L' ');
        const std::int16_t count =
            text::toInteger(piece.substr(space + 1, piece.size() - 1 - (space + 1)));
        const std::wstring modifiers = piece.substr(0, piece.find(L'{'));
        pressChordTimes(count, chordFromWindow(text::right(modifiers, 2), VkTab));
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

void CKelmo::pressPrintScreen(std::uint16_t scan) {
    sv_.keyboard.rawKeyEvent(VkPrintScreen, static_cast<std::uint8_t>(scan & 0xFF), KeyDown);
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
// restored, also when the paste fails or the user aborts the run meanwhile.
template <typename Paste> void CKelmo::passThroughClipboard(const std::wstring& text, Paste paste) {
    std::unique_ptr<platform::Clipboard::Snapshot> saved = sv_.clipboard.save();
    clipText_ = saved->text();
    const auto restoreOnce = [&] {
        if (const auto snapshot = std::move(saved)) sv_.clipboard.restore(*snapshot);
    };
    const Pacer::AbortCleanup onAbort(pacer_, restoreOnce);
    try {
        pacer_.paceWait();
        sv_.clipboard.setText(text);
        apps_.bringCurrentToFront();
        pacer_.paceWait();
        paste();
        pacer_.paceWait();
    } catch (...) {
        try {
            restoreOnce();
        } catch (...) {
            // the paste's own failure is the one to report
        }
        throw;
    }
    restoreOnce();
    pacer_.paceWait();
}

void CKelmo::Pass(const std::wstring& strCB, std::int16_t iEnt) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    passThroughClipboard(strCB, [&] { typeKeys(L"^v"); });
    for (; iEnt > 0; --iEnt)
        sendKeys(L"{Enter}");
}

void CKelmo::PassF(const std::wstring& strCB, std::int16_t iEnt) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    const std::wstring path = paths_.quotedPath(strCB);
    pacer_.guardBreak();
    passThroughClipboard(path, [&] { sendKeys(L"^v"); });
    for (; iEnt > 0; --iEnt)
        sendKeys(L"{Enter}");
}

} // namespace kelmo

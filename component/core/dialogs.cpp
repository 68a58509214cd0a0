// Self-closing question boxes, the content viewer and sound cues: Popup, Popup2, Popup3,
// FrmShow, Sound.
#include "component/core/object.h"

#include "base/checked.h"
#include "base/text.h"
#include "component/core/calls.h"
#include "component/core/textlines.h"

#include <array>
#include <cstdint>

namespace kelmo {

namespace {

const std::wstring CrLf = L"\r\n";

// Message-box styles and answers of the timed box.
constexpr std::int32_t Foreground = 0x10000, Question = 0x20, YesNo = 0x4, YesNoCancel = 0x3;
constexpr std::int32_t SecondButtonDefault = 0x100;
constexpr std::int32_t AnswerCancel = 2, AnswerYes = 6, AnswerNo = 7;

constexpr std::uint32_t PlayAsyncWithoutDefaultSound = 0x1 | 0x2;

const std::wstring ViewerRefusal = L"このファイルは表示できません";
// Text1 shows the first 100 lines of a text file, each cut after 1,024 characters (more than
// the window shows at its size). No more than 1 MiB of the file is read, so that any file,
// however long its lines, is shown at once.
constexpr std::size_t ViewerMaxLines = 100, ViewerLineChars = 1024;
constexpr std::size_t AnsiBytesPerChar = 4; // at most, in any ANSI code page
constexpr std::size_t ViewerReadBytes = 1 << 20;
constexpr std::int16_t MsPerSecond = 1000;

// The question with the notice in front: how long the user has, and what happens then.
std::wstring timedQuestion(std::int32_t natSecondsToWait, const std::wstring& question) {
    return std::to_wstring(natSecondsToWait) + L"秒以内に答えてください。" + CrLf +
           L"時間がくると自動的にデフォルトボタンが押されます。" + CrLf + CrLf + question;
}

enum class ViewerKind { Picture, Text, Refused };

ViewerKind viewerKindOf(const std::wstring& extension) {
    static const std::array<const wchar_t*, 9> Pictures = {L"bmp", L"dib", L"gif", L"jpg", L"jpeg",
                                                           L"ico", L"cur", L"wmf", L"emf"};
    static const std::array<const wchar_t*, 7> Texts = {L"txt", L"vbs", L"htm", L"html",
                                                        L"bat", L"asp", L"js"};
    const std::wstring lower = text::lower(extension);
    for (const wchar_t* picture : Pictures)
        if (lower == picture) return ViewerKind::Picture;
    for (const wchar_t* kind : Texts)
        if (lower == kind) return ViewerKind::Text;
    return ViewerKind::Refused;
}

} // namespace

std::int32_t CKelmo::timedBox(const std::wstring& text, std::int32_t secondsToWait,
                              const std::wstring& title, std::int32_t style) {
    // The script shell is made for this box only; the next user of the field makes a new one.
    struct EmptiedAfter {
        std::shared_ptr<platform::ScriptShell>& field;
        ~EmptiedAfter() { field.reset(); }
    } emptied{scriptShell_};
    return scriptShell().popup(text::cut(text, BoxTextChars), secondsToWait, title, style);
}

std::int16_t CKelmo::defaultButton(std::int16_t iButton, std::int16_t buttons) {
    if (iButton >= 1 && iButton <= buttons) return iButton;
    return static_cast<std::int16_t>(static_cast<int>(buttons * sv_.clock.nextRandom()) + 1);
}

std::int16_t CKelmo::Popup(const std::wstring& strText, std::int32_t natSecondsToWait,
                           const std::wstring& strTitle, std::int32_t natType) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    return checkedNarrow<std::int16_t>(timedBox(strText, natSecondsToWait, strTitle, natType));
}

std::int16_t CKelmo::Popup2(const std::wstring& strTextA, std::int32_t natSecondsToWait,
                            std::int16_t iButton) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    const std::int16_t button = defaultButton(iButton, 2);
    const std::int32_t style = Foreground + Question + YesNo + (button - 1) * SecondButtonDefault;
    switch (timedBox(timedQuestion(natSecondsToWait, strTextA), natSecondsToWait, L"Kelmo_Popup2",
                     style)) {
    case AnswerYes:
        return 1;
    case AnswerNo:
        return 2;
    default: // the time ran out
        return button;
    }
}

std::int16_t CKelmo::Popup3(const std::wstring& strTextA, std::int32_t natSecondsToWait,
                            std::int16_t iButton) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    const std::int16_t button = defaultButton(iButton, 3);
    const std::int32_t style =
        Foreground + Question + YesNoCancel + (button - 1) * SecondButtonDefault;
    switch (timedBox(timedQuestion(natSecondsToWait, strTextA), natSecondsToWait, L"Kelmo_Popup3",
                     style)) {
    case AnswerYes:
        return 1;
    case AnswerNo:
        return 2;
    case AnswerCancel: // also Esc and the close box
        return 3;
    default: // the time ran out
        return button;
    }
}

void CKelmo::FrmShow(const std::wstring& strPath, std::int16_t nSec) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    // The interval is a 16-bit number of milliseconds: -32..32 seconds, and the timer takes no
    // negative one. Refused before anything is read or shown.
    const std::int16_t intervalMs = checkedMul<std::int16_t>(nSec, MsPerSecond);
    if (intervalMs < 0) errors::raise(errors::InvalidPropertyValue, L"Timer1.Interval");
    platform::Viewer& viewer = sv_.viewer;
    viewer.setCaption(fileSystem().fileName(strPath) + L" - frmKelmo [" + strPath + L"]");
    switch (viewerKindOf(fileSystem().extensionName(strPath))) {
    case ViewerKind::Picture:
        viewer.showPicture(strPath);
        break;
    case ViewerKind::Text:
        viewer.showText();
        showTextFile(strPath);
        break;
    case ViewerKind::Refused:
        viewer.showText();
        viewer.replaceText(ViewerRefusal);
        break;
    }
    viewer.setTimerInterval(intervalMs);
    sv_.clock.pumpMessages();
    viewer.showModal();
}

// The first lines, each followed by CrLf; a file that cannot be opened or read shows the
// refusal instead.
void CKelmo::showTextFile(const std::wstring& path) {
    platform::Viewer& viewer = sv_.viewer;
    try {
        const std::unique_ptr<platform::TextReader> file = sv_.textFiles.open(path);
        const LineLimits limits{ViewerMaxLines, ViewerLineChars * AnsiBytesPerChar,
                                ViewerReadBytes};
        std::wstring shown; // inserted at once: the text box lays out its text only once
        for (const std::string& line :
             firstLines([&](std::size_t maxBytes) { return file->read(maxBytes); }, limits))
            shown += text::cut(sv_.textFiles.fromAnsi(line), ViewerLineChars) + CrLf;
        viewer.appendText(shown);
    } catch (const KelmoError&) {
        viewer.replaceText(ViewerRefusal);
    }
}

void CKelmo::Sound(const std::wstring& strSnd) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    pacer_.guardBreak();
    if (!sv_.sound.play(paths_.fullPath(strSnd), PlayAsyncWithoutDefaultSound)) sv_.sound.beep();
}

} // namespace kelmo

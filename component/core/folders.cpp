// Folder members: FldSet, FldSetD, FldCopy, FldDelete, Update, FldFiles, and the interactive
// folder choice they share (browse dialog, desktop substitution, confirmation box). Each pass of
// their loops traps the failures of its steps (FailureTrap) and reports the latest one in a box
// titled with its number; the user then chooses by hand.
#include "component/core/object.h"

#include "base/text.h"
#include "component/core/calls.h"

namespace kelmo {

namespace {

const std::wstring CrLf = L"\r\n";
constexpr std::int32_t OnlyFileSystemFolders = 1; // BrowseForFolder option
constexpr std::uint32_t StopOk = 16, QuestionYesNo = 36;
constexpr std::int32_t AnswerYes = 6;
constexpr std::int32_t ReadOnlyCleared = 254; // attribute mask: read-only and bits from 256 off

const std::wstring ConfirmPrompt = L"正しいフォルダならそのまま [ OK ]" + CrLf + CrLf +
                                   L"      または修正・追加して [ OK ]" + CrLf + CrLf +
                                   L"やり直すなら [ ｷｬﾝｾﾙ ] を押してください";

namespace msg {
const std::wstring PathFailed = L"フォルダのパス指定に失敗しました。手動で選択してください ";
const std::wstring SourceMissing = L"そのフォルダは存在しません。選択し直してください ";
const std::wstring GatherFailed = L"デスクトップへのコピーに失敗しました。やり直してください ";
const std::wstring CopySourceMissing =
    L"そのフォルダは存在しません。コピー元フォルダを選択し直してください ";
const std::wstring CopySourceFailed =
    L"コピー元フォルダのパス指定に失敗しました。手動で選択してください ";
const std::wstring Overwrite = L"そのフォルダはすでに存在します。上書きコピーしますか ";
const std::wstring OverwriteTitle = L"上書きの確認 ";
const std::wstring CopyFailed = L"フォルダのコピーに失敗しました。やり直してください ";
const std::wstring DeleteFailed = L"フォルダの削除に失敗しました。";
const std::wstring IsTheSource = L"は元フォルダそのもののため、コピーしません。";
const std::wstring InsideTheSource =
    L"はコピー元フォルダそのものか、その中にあるため、コピーしません。";
} // namespace msg

std::wstring withBackslash(std::wstring path) {
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path;
}

std::wstring withoutBackslash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

} // namespace

SameText CKelmo::sameText() {
    return [this](const std::wstring& a, const std::wstring& b) {
        return sv_.collation.sameText(a, b);
    };
}

// A folder argument of FldSet, FldSetD or FldCopy: trimmed, then a path or the user's choice.
FolderRequest CKelmo::requestOf(const std::wstring& argument) {
    return FolderRequest::fromText(text::trimSpaces(argument), sameText());
}

void CKelmo::failureBox(const std::wstring& text, std::int32_t number) {
    sv_.dialogs.messageBox(text, StopOk, L"エラー発生 : " + std::to_wstring(number));
}

// The browse dialog, the desktop for a cancelled dialog or a folder titled as the desktop, and
// the confirmation box, proposing the path (or what `proposal` makes of it). Failures of the
// platform objects are trapped; the boxes themselves are not, since a box that cannot be shown
// would make the pass loop forever.
std::optional<std::wstring> CKelmo::askFolder(FailureTrap& trap, const std::wstring& browseTitle,
                                              const std::wstring& confirmTitle,
                                              const Proposal& proposal) {
    std::unique_ptr<platform::Shell::ChosenFolder> chosen;
    trap.run([&] { chosen = shell().browseForFolder(browseTitle, OnlyFileSystemFolders); });
    std::wstring proposed;
    if (chosen) trap.run([&] { proposed = chosen->path(); });

    bool isDesktop = !chosen;
    if (chosen && !trap.run([&] {
            const std::wstring title = chosen->title();
            isDesktop = sv_.collation.sameText(title, L"ﾃﾞｽｸﾄｯﾌﾟ") ||
                        sv_.collation.sameText(title, L"Desktop");
        }))
        isDesktop = true;
    chosen.reset();
    if (isDesktop) {
        trap.forget();
        trap.run([&] { proposed = scriptShell().specialFolder(L"Desktop"); });
    }

    const std::wstring answer =
        sv_.dialogs.inputBox(ConfirmPrompt, confirmTitle, proposal ? proposal(proposed) : proposed);
    if (answer.empty()) return std::nullopt;
    return text::trimSpaces(answer);
}

// The head of every pass: the folder the request names, or the one the user chooses when it
// asks; nothing when the user gave no answer (the pass starts again).
std::optional<std::wstring> CKelmo::requestedFolder(FailureTrap& trap, const FolderRequest& request,
                                                    const std::wstring& browseTitle,
                                                    const std::wstring& confirmTitle,
                                                    const Proposal& proposal) {
    if (!request.asksUser()) return paths_.folderPath(request.path());
    const auto answer = askFolder(trap, browseTitle, confirmTitle, proposal);
    if (!answer) return std::nullopt;
    return paths_.folderPath(*answer);
}

// The source stage of FldSetD and FldCopy: the requested folder when it exists; otherwise the
// failure box, after which the user chooses the source, and nothing.
std::optional<std::wstring> CKelmo::existingSource(FailureTrap& trap, FolderRequest& request,
                                                   const SourceStage& stage) {
    const auto source = requestedFolder(trap, request, stage.browseTitle, stage.confirmTitle);
    if (!source) return std::nullopt;
    bool exists = false;
    trap.run([&] { exists = fileSystem().folderExists(*source); });
    if (!exists || trap.failed()) {
        failureBox(exists ? stage.failed : stage.missing, trap.number());
        request = FolderRequest::askUser();
        return std::nullopt;
    }
    return source;
}

std::wstring CKelmo::FldSet(const std::wstring& strSPath) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    return settleFolder(requestOf(strSPath));
}

std::wstring CKelmo::settleFolder(FolderRequest request) {
    for (FailureTrap trap;; trap.forget()) {
        pacer_.guardBreak();
        const auto requested =
            requestedFolder(trap, request, L"フォルダを選択してください", L"フォルダの確認");
        if (!requested) continue;
        const std::wstring path = *requested;

        bool exists = false;
        trap.run([&] { exists = fileSystem().folderExists(path); });
        if (!exists) trap.run([&] { fileSystem().createFolder(path); });
        if (trap.failed()) {
            failureBox(msg::PathFailed, trap.number());
            request = FolderRequest::askUser();
            continue;
        }
        curFld_ = withBackslash(path);
        return curFld_;
    }
}

std::wstring CKelmo::FldSetD(const std::vector<std::wstring>& strWC) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    return gatherOntoDesktop(classifyGatherArguments(strWC, sameText()));
}

std::wstring CKelmo::gatherOntoDesktop(const GatherArguments& arguments) {
    const std::wstring desktop = scriptShell().specialFolder(L"Desktop");
    FolderRequest request = arguments.source;
    for (FailureTrap trap;; trap.forget()) {
        pacer_.guardBreak();
        const auto found = existingSource(trap, request,
                                          {L"元フォルダを選択してください", L"元フォルダの確認",
                                           msg::SourceMissing, msg::PathFailed});
        if (!found) continue;
        std::wstring source = *found;

        // Without a folder name to build on, nothing is created or copied (the copy would go
        // to whatever "\" names).
        std::wstring gathering;
        if (trap.run([&] {
                gathering = desktop + L"\\" +
                            (arguments.gatherName.empty() ? fileSystem().folderName(source) + L"_D"
                                                          : arguments.gatherName);
            })) {
            if (guard_.sameFolder(gathering, source)) {
                refusalBox(msg::GatherFailed, gathering + CrLf + msg::IsTheSource);
                request = FolderRequest::askUser();
                continue;
            }
            bool gatheringExists = false;
            trap.run([&] { gatheringExists = fileSystem().folderExists(gathering); });
            if (!gatheringExists) trap.run([&] { fileSystem().createFolder(gathering); });
            source = withBackslash(source);
            gathering = withBackslash(gathering);
            if (arguments.patterns.empty())
                trap.run([&] { fileSystem().copyFile(source + L"*.*", gathering); });
            for (const std::wstring& pattern : arguments.patterns)
                trap.run([&] { fileSystem().copyFile(source + pattern, gathering); });
        }
        if (trap.failed()) {
            failureBox(msg::GatherFailed, trap.number());
            request = FolderRequest::askUser();
            continue;
        }
        curFld_ = gathering;
        clearReadOnlyFlags(curFld_);
        return curFld_;
    }
}

// Every file directly inside `folder` loses its read-only flag (and the bits from 256 up);
// failures are ignored.
void CKelmo::clearReadOnlyFlags(const std::wstring& folder) {
    FailureTrap ignored;
    std::vector<std::wstring> names;
    ignored.run([&] { names = fileSystem().folderFileNames(folder); });
    for (const std::wstring& name : names)
        ignored.run([&] {
            const std::wstring file = folder + name;
            fileSystem().setFileAttributes(file,
                                           fileSystem().fileAttributes(file) & ReadOnlyCleared);
        });
}

std::wstring CKelmo::FldCopy(const std::wstring& strSPath, const std::wstring& strDPath) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    FolderRequest source = requestOf(strSPath), destination = requestOf(strDPath);
    for (FailureTrap trap;; trap.forget()) {
        pacer_.guardBreak();
        const auto sourcePath =
            existingSource(trap, source,
                           {L"コピー元フォルダを選択してください", L"コピー元フォルダの確認",
                            msg::CopySourceMissing, msg::CopySourceFailed});
        if (!sourcePath) continue;
        const CopyOutcome outcome = copyStage(trap, *sourcePath, destination);
        if (outcome.copiedTo) {
            curFld_ = withBackslash(*outcome.copiedTo);
            return curFld_;
        }
        if (outcome.refusal)
            refusalBox(msg::CopyFailed, *outcome.refusal);
        else
            failureBox(msg::CopyFailed, trap.number());
        source = FolderRequest::askUser();
    }
}

// The destination stage of FldCopy: its passes run until the copy was made, failed (the failure
// left in `trap`) or was refused because it would land inside its own source. A chosen folder is
// the parent: the copy is proposed in it under the source's name.
CKelmo::CopyOutcome CKelmo::copyStage(FailureTrap& trap, const std::wstring& source,
                                      FolderRequest& destination) {
    const auto underParent = [&](const std::wstring& parent) {
        std::wstring name;
        trap.run([&] { name = fileSystem().folderName(source); });
        return parent + L"\\" + name;
    };
    for (;; trap.forget()) {
        pacer_.guardBreak();
        const auto target =
            requestedFolder(trap, destination, L"コピー先の親フォルダを選択してください",
                            L"コピー先フォルダの確認", underParent);
        if (!target) continue;
        if (guard_.liesInside(*target, source))
            return {std::nullopt, *target + CrLf + msg::InsideTheSource};

        bool exists = true;
        trap.run([&] { exists = fileSystem().folderExists(*target); });
        if (exists && sv_.dialogs.messageBox(msg::Overwrite, QuestionYesNo, msg::OverwriteTitle) !=
                          AnswerYes) {
            destination = FolderRequest::askUser();
            continue;
        }
        trap.run([&] { fileSystem().copyFolder(source, *target); });
        if (trap.failed()) return {};
        return {*target, std::nullopt};
    }
}

void CKelmo::FldDelete(const std::optional<std::wstring>& strSPath) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.guardBreak();
    // Not trimmed: " ? " is a path.
    const FolderRequest request = FolderRequest::fromText(strSPath.value_or(L""), sameText());
    FailureTrap trap;
    std::optional<std::wstring> path;
    if (request.asksUser()) {
        std::unique_ptr<platform::Shell::ChosenFolder> chosen;
        trap.run([&] {
            chosen = shell().browseForFolder(L"削除するフォルダを選択してください",
                                             OnlyFileSystemFolders);
        });
        if (!chosen) trap.remember(errors::ObjectNotSet); // cancelled, or the dialog failed
        if (chosen) trap.run([&] { path = chosen->path(); });
    } else if (request.path().empty()) {
        path = withoutBackslash(curFld_);
    } else {
        path = paths_.deletionPath(request.path());
    }
    if (path) deleteFolder(trap, *path);
    if (trap.failed()) failureBox(msg::DeleteFailed, trap.number());
}

// Deletes the folder unless that loses a kept folder or a root, which a box of its own refuses
// and says why.
void CKelmo::deleteFolder(FailureTrap& trap, const std::wstring& path) {
    if (path.empty()) {
        trap.remember(errors::PathNotFound); // no folder yet: nothing is asked of the platform
        return;
    }
    std::optional<std::wstring> refusal;
    if (!trap.run([&] { refusal = guard_.deleteFolder(path, keptFolders()); })) return;
    if (refusal) refusalBox(msg::DeleteFailed, *refusal);
}

// The folders whose loss takes the user's data or system with it. Not knowing the desktop, the
// Windows folder or the profile fails the deletion; a folder the platform does not name beyond
// those is left out.
std::vector<KeptFolder> CKelmo::keptFolders() {
    const auto environment = [this](const wchar_t* name) {
        return scriptShell().expandEnvironment(name);
    };
    std::vector<KeptFolder> kept = {
        {scriptShell().specialFolder(L"Desktop"), L"デスクトップ"},
        {fileSystem().specialFolderPath(0), L"Windows フォルダ"},
        {environment(L"%USERPROFILE%"), L"ユーザーのプロファイル フォルダ"},
    };
    const auto keepIfNamed = [&](const auto& path, const std::wstring& what) {
        FailureTrap ignored;
        ignored.run([&] { kept.push_back({path(), what}); });
    };
    keepIfNamed([&] { return scriptShell().specialFolder(L"MyDocuments"); },
                L"ドキュメント フォルダ");
    for (const wchar_t* programs : {L"%ProgramFiles%", L"%ProgramFiles(x86)%", L"%ProgramW6432%"})
        keepIfNamed([&] { return environment(programs); }, L"プログラム フォルダ");
    return kept;
}

// The failure box with the reason under its first line, titled with "permission denied".
void CKelmo::refusalBox(const std::wstring& text, const std::wstring& reason) {
    sv_.dialogs.messageBox(text + CrLf + CrLf + reason, StopOk,
                           L"エラー発生 : " + std::to_wstring(errors::PermissionDenied));
}

void CKelmo::Update() {
    const MemberCall call(runningCalls_, MemberCall::Kind::Reads);
    pacer_.guardBreak();
    apps_.adoptForeground();
}

// Without a current folder it asks for one, and so acts.
std::shared_ptr<platform::AutomationObject> CKelmo::FldFiles() {
    const MemberCall call(runningCalls_,
                          curFld_.empty() ? MemberCall::Kind::Acts : MemberCall::Kind::Reads);
    pacer_.guardBreak();
    if (curFld_.empty()) settleFolder(FolderRequest::askUser());
    return fileSystem().folderFiles(curFld_);
}

} // namespace kelmo

// The call trace of an object: when the environment variable KELMO_TRACE, or else the registry
// value HKCU\Software\Kelmo\Trace, names a file when the object is made, every call that reaches
// it through IDispatch is appended to that file as one UTF-8 line (see calltrace.h). Each line is
// handed to the system as soon as its call ends, so a crash of the host loses none. Without
// the setting there is no trace object and a call costs one test of a null pointer.
#pragma once

#include "base/error.h"
#include "platform/win32/owned.h"

#include <oaidl.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace kelmo::com {

class TraceFile {
public:
    // The trace the settings ask for; none when neither names a file or it cannot be opened
    // (said once in the debugger's output).
    static std::unique_ptr<TraceFile> fromSettings();

    // What is known of a call when it begins.
    struct Start {
        std::wstring time;
        std::chrono::steady_clock::time_point clock;
    };
    static Start begin();

    // Appends the line of a call that began at `start`: the member, its arguments as
    // DISPPARAMS hold them (last first), and its result, or the error it ended with (`error`,
    // or the bare HRESULT when there is none).
    void write(const Start& start, const std::wstring& member, WORD flags, const DISPPARAMS& params,
               const VARIANT* result, HRESULT hr, const std::optional<KelmoError>& error) noexcept;

private:
    explicit TraceFile(win32::Handle file) : file_(std::move(file)) {}
    win32::Handle file_;
};

} // namespace kelmo::com

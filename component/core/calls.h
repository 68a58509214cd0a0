// MemberCall: one call of a member of the object, as a scope. Every wait pumps messages, so a
// runner button, a viewer timer or a browser event can call the object while one of its members
// is still running. A member that acts (types, pastes, launches, shows a box, rests, changes
// the application table or folders) refuses such a call with the busy error; a member that only
// reads may run inside another. A member that acts only sometimes (FldFiles asks for a folder
// when none is set) says per call which it does. Members call each other through their private
// implementations, which take no MemberCall.
#pragma once

#include "base/error.h"

namespace kelmo {

class MemberCall {
public:
    enum class Kind { Acts, Reads };

    MemberCall(int& running, Kind kind) : running_(running) {
        if (kind == Kind::Acts && running_ > 0) errors::raise(errors::Busy);
        ++running_;
    }
    ~MemberCall() { --running_; }
    MemberCall(const MemberCall&) = delete;
    MemberCall& operator=(const MemberCall&) = delete;

private:
    int& running_;
};

} // namespace kelmo

// The members of pausing, resting and the pacing mode: Break, ODOn, ODOff, Rest, RestOld.
#include "component/core/object.h"

#include "component/core/calls.h"

namespace kelmo {

std::int16_t CKelmo::Break(const std::wstring& strText) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    return pacer_.pauseBox(Pacer::PauseReason::BreakCalled, strText);
}

void CKelmo::ODOn() {
    pacer_.odOn();
}

void CKelmo::ODOff() {
    pacer_.odOff();
}

void CKelmo::Rest(std::int32_t Sec, bool fWait) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.rest(Sec, fWait);
}

void CKelmo::RestOld(std::int32_t Sec, bool fWait) {
    const MemberCall call(runningCalls_, MemberCall::Kind::Acts);
    pacer_.restOld(Sec, fWait);
}

} // namespace kelmo

// Reaching private members of CKelmo from a test without a hook in the class. An explicit
// instantiation may name private members, so Expose<Tag, &CKelmo::Member> defines a friend of
// Tag that returns the member pointer. A test file exposes each member it needs once, at file
// scope: EXPOSE_CKELMO(PaceWait); then calls it as (k.*pointerTo(PaceWaitTag{}))().
#pragma once

#include "component/core/object.h"

template <typename Tag, auto Member> struct Expose {
    friend auto pointerTo(Tag) { return Member; }
};

#define EXPOSE_CKELMO(Member)                                                                      \
    struct Member##Tag {                                                                           \
        friend auto pointerTo(Member##Tag);                                                        \
    };                                                                                             \
    template struct Expose<Member##Tag, &kelmo::CKelmo::Member>

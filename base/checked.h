// 16- and 32-bit arithmetic that raises the overflow error (6) instead of wrapping around, as
// the component's counters and positions must.
#pragma once

#include "base/error.h"

#include <utility>

namespace kelmo {

template <typename T> T checkedAdd(T a, T b) {
    T result{};
    if (__builtin_add_overflow(a, b, &result)) errors::raise(errors::Overflow);
    return result;
}
template <typename T> T checkedSub(T a, T b) {
    T result{};
    if (__builtin_sub_overflow(a, b, &result)) errors::raise(errors::Overflow);
    return result;
}
template <typename T> T checkedMul(T a, T b) {
    T result{};
    if (__builtin_mul_overflow(a, b, &result)) errors::raise(errors::Overflow);
    return result;
}
// Narrowing to a smaller integer type, overflow error when the value does not fit.
template <typename To, typename From> To checkedNarrow(From value) {
    if (!std::in_range<To>(value)) errors::raise(errors::Overflow);
    return static_cast<To>(value);
}

} // namespace kelmo

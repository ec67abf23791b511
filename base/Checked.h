// Integer arithmetic that raises instead of wrapping: the program treats an overflow or a value
// outside its declared range as an error like any other.
#pragma once

#include "base/Exceptions.h"

#include <concepts>
#include <cstdint>
#include <limits>
#include <utility>

namespace quillet {

namespace detail {

template <std::integral T> bool AddOverflows(T a, T b, T& out) {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_add_overflow(a, b, &out);
#else
    if constexpr (std::is_signed_v<T>) {
        if ((b > 0 && a > std::numeric_limits<T>::max() - b) ||
            (b < 0 && a < std::numeric_limits<T>::min() - b))
            return true;
    } else if (a > std::numeric_limits<T>::max() - b) {
        return true;
    }
    out = static_cast<T>(a + b);
    return false;
#endif
}

template <std::integral T> bool SubOverflows(T a, T b, T& out) {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_sub_overflow(a, b, &out);
#else
    if constexpr (std::is_signed_v<T>) {
        if ((b < 0 && a > std::numeric_limits<T>::max() + b) ||
            (b > 0 && a < std::numeric_limits<T>::min() + b))
            return true;
    } else if (a < b) {
        return true;
    }
    out = static_cast<T>(a - b);
    return false;
#endif
}

template <std::integral T> bool MulOverflows(T a, T b, T& out) {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_mul_overflow(a, b, &out);
#else
    const auto wide = static_cast<long double>(a) * static_cast<long double>(b);
    if (wide > static_cast<long double>(std::numeric_limits<T>::max()) ||
        wide < static_cast<long double>(std::numeric_limits<T>::min()))
        return true;
    out = static_cast<T>(a * b);
    return false;
#endif
}

} // namespace detail

template <std::integral T> T CheckedAdd(T a, T b) {
    T out{};
    if (detail::AddOverflows(a, b, out))
        throw EIntOverflow();
    return out;
}

template <std::integral T> T CheckedSub(T a, T b) {
    T out{};
    if (detail::SubOverflows(a, b, out))
        throw EIntOverflow();
    return out;
}

template <std::integral T> T CheckedMul(T a, T b) {
    T out{};
    if (detail::MulOverflows(a, b, out))
        throw EIntOverflow();
    return out;
}

// Truncating division, as the language's div; the one overflow is min / -1.
template <std::integral T> T CheckedDiv(T a, T b) {
    if (b == 0)
        throw EDivByZero();
    if constexpr (std::is_signed_v<T>) {
        if (a == std::numeric_limits<T>::min() && b == -1)
            throw EIntOverflow();
    }
    return static_cast<T>(a / b);
}

// A value converted to a narrower or differently signed type, or checked against a subrange.
template <std::integral To, std::integral From> To RangeChecked(From value) {
    if (!std::in_range<To>(value))
        throw ERangeError();
    return static_cast<To>(value);
}

template <std::integral T> T RangeChecked(T value, T low, T high) {
    if (value < low || value > high)
        throw ERangeError();
    return value;
}

} // namespace quillet

// Byte-counted texts in the library's static data: what string cells point at.
#pragma once

#include <cstddef>

// A byte-counted copy of a string literal: the count byte, then the characters, then a zero
// (so that chars() can also be handed out as a C text).
template <size_t N> struct CountedText {
    static_assert(N >= 1 && N <= 256, "a counted text holds at most 255 characters");
    unsigned char bytes[N + 1];
    constexpr CountedText(const char (&text)[N]) : bytes{} {
        bytes[0] = static_cast<unsigned char>(N - 1);
        for (size_t i = 0; i + 1 < N; ++i)
            bytes[i + 1] = static_cast<unsigned char>(text[i]);
        bytes[N] = 0;
    }
    const char* chars() const { return reinterpret_cast<const char*>(bytes + 1); }
};

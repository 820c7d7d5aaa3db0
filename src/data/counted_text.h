// Byte-counted texts in the library's static data, and XLOPER answers that carry them.
#pragma once

#include "quar1432.h"

#include <cstddef>

// A byte-counted copy of a string literal: the count byte, then the characters, then a zero.
template <size_t N> struct CountedLiteral {
    static_assert(N >= 1 && N <= 256, "a counted text holds at most 255 characters");
    unsigned char bytes[N + 1];
    constexpr CountedLiteral(const char (&text)[N]) : bytes{} {
        bytes[0] = static_cast<unsigned char>(N - 1);
        for (size_t i = 0; i + 1 < N; ++i)
            bytes[i + 1] = static_cast<unsigned char>(text[i]);
        bytes[N] = 0;
    }
};

// Points `answer` at a counted text and makes it a string cell.
inline XLOPER* AnswerText(XLOPER* answer, const unsigned char* counted) {
    *answer = XLOPER{};
    answer->val.str = const_cast<unsigned char*>(counted);
    answer->xltype = xltypeStr;
    return answer;
}

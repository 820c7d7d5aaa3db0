// Parse and GetParsed: lists of worksheet column names ("A, B,C", "IV"), checked four at a
// time and then handed out one name at a time, upper-cased, list after list.
#include "addin/parser.h"
#include "platform/platform.h"
#include "quar1432.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr int32_t kLists = kParsedLists;
constexpr size_t kListBytes = 256;

struct ParserState {
    char lists[kLists][kListBytes];
    int32_t counts[kLists];
    int32_t listIndex;
    int32_t itemIndex;
    const char* cursor;
    bool walkValid; // false before the first Parse and after a failed one
};

// The walk outlives the call: GetParsed continues where the last call stopped.
ParserState parser;

bool IsSpace(char c) {
    return c == ' ';
}

bool IsLetterChar(char c) {
    return IsLetter(static_cast<unsigned char>(c));
}

char UpperLetter(char c) {
    return static_cast<char>(UpperChar(static_cast<unsigned char>(c)));
}

const char* SkipSpaces(const char* p) {
    while (IsSpace(*p))
        ++p;
    return p;
}

// Copies a caller's text into a list buffer. A null text counts as empty; a text that does not
// fit the buffer is refused (false) rather than cut.
bool CopyList(char* buffer, const char* text) {
    buffer[0] = '\0';
    if (text == nullptr) return true;
    for (size_t k = 0; k < kListBytes; ++k) {
        buffer[k] = text[k];
        if (text[k] == '\0') return true;
    }
    buffer[0] = '\0';
    return false;
}

// Names in a list of one- or two-letter names, each followed by at most one comma; -1 when the
// list is malformed.
int32_t CountColumnNames(const char* text) {
    int32_t n = 0;
    const char* p = text;
    for (;;) {
        p = SkipSpaces(p);
        if (*p == '\0') return n;
        ++n;
        if (!IsLetterChar(*p)) return -1;
        ++p;
        if (IsLetterChar(*p)) ++p;
        if (*p == ',') ++p;
    }
}

// 0 for a blank list, 1 for a single name between optional spaces, -1 otherwise.
int32_t CheckSingleColumn(const char* text) {
    const char* p = SkipSpaces(text);
    if (*p == '\0') return 0;
    if (!IsLetterChar(*p)) return -1;
    ++p;
    if (IsLetterChar(*p) || IsSpace(*p)) {
        ++p;
        p = SkipSpaces(p);
    }
    return *p == '\0' ? 1 : -1;
}

void ParseFailed(int32_t list, double* counts) {
    counts[0] = -1.0;
    counts[1] = static_cast<double>(list + 1);
    parser.walkValid = false;
}

} // namespace

void ParseColumnLists(const char* list1, const char* list2, const char* list3, const char* list4,
                      double* counts) {
    const char* texts[kLists] = {list1, list2, list3, list4};
    bool fits[kLists];
    for (int32_t k = 0; k < kLists; ++k)
        fits[k] = CopyList(parser.lists[k], texts[k]);

    for (int32_t k = 0; k < kLists; ++k) {
        if (!fits[k]) return ParseFailed(k, counts);
        int32_t count =
            k < kLists - 1 ? CountColumnNames(parser.lists[k]) : CheckSingleColumn(parser.lists[k]);
        if (count < 0) return ParseFailed(k, counts);
        parser.counts[k] = count;
        counts[k] = static_cast<double>(count);
    }

    parser.listIndex = 0;
    parser.itemIndex = 0;
    parser.cursor = parser.lists[0];
    parser.walkValid = true;
}

void ResetParser() {
    parser = ParserState{};
}

const char* NextParsedName(char* parsedName) {
    parsedName[0] = '\0';
    if (!parser.walkValid) return parsedName;
    while (parser.itemIndex == parser.counts[parser.listIndex]) {
        if (parser.listIndex == kLists - 1) {
            // Every name has been handed out: the walk ends here rather than past the lists.
            parser.walkValid = false;
            return parsedName;
        }
        parser.listIndex += 1;
        parser.itemIndex = 0;
        parser.cursor = parser.lists[parser.listIndex];
    }
    parser.itemIndex += 1;

    const char* p = SkipSpaces(parser.cursor);
    int32_t length = 0;
    parsedName[length++] = UpperLetter(*p);
    ++p;
    if (IsLetterChar(*p)) {
        parsedName[length++] = UpperLetter(*p);
        ++p;
    }
    if (*p == ',') ++p;
    parser.cursor = p;
    parsedName[length] = '\0';
    return parsedName;
}

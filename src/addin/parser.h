// Lists of worksheet column names, checked four at a time and handed out one name at a time.
#pragma once

#include <cstdint>

constexpr int32_t kParsedLists = 4;

// Checks the four lists and starts the walk over their names; writes the count of each list
// into counts[0 ... 3], or -1 and the failing list (from 1) into counts[0] and counts[1].
void ParseColumnLists(const char* list1, const char* list2, const char* list3, const char* list4,
                      double* counts);
// Writes the next name of the walk, upper-cased, into `name` (4 bytes) and answers it; empty
// when the walk has ended or none was started.
const char* NextParsedName(char* name);
// Forgets the lists and the walk.
void ResetParser();

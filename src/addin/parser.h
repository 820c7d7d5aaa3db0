// Lists of worksheet column names, checked four at a time and handed out one name at a time.
#pragma once

#include "quar1432.h"

// Checks the four lists; answers the record of their counts, or (-1, failing list).
FP* ParseColumnLists(const char* list1, const char* list2, const char* list3, const char* list4);
// The next name of the walk, upper-cased; empty when the walk has ended.
const char* NextParsedName();

// The workbook reader over any bytes: it answers with a sheet or a message, within its limits,
// and never leaves a half-filled sheet behind.
#include "workbook_read.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WorkbookLimits limits;
    limits.maxUnpackedBytes = 4 << 20; // keeps each input quick; the checks are the same
    limits.maxTreeBytes = 16 << 20;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const char* name : {"", "Hand"}) {
        Worksheet sheet;
        std::string error;
        if (ReadWorkbookSheet(bytes, name, &sheet, &error, limits)) {
            if (sheet.names.empty()) __builtin_trap();
            for (const auto& row : sheet.rows)
                if (row.size() != sheet.names.size()) __builtin_trap();
        } else if (error.empty() || !sheet.names.empty() || !sheet.rows.empty()) {
            __builtin_trap();
        }
    }
    return 0;
}

// The workbook reader over any bytes: it answers with a sheet or a message, within its limits,
// and never leaves a half-filled sheet behind. An input that starts with '<' is taken as the XML
// of a sheet and packed into a workbook first, so that mutations reach the sheet reader instead
// of stopping at the zip's checksums.
#include "workbook_pack.h"
#include "workbook_read.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WorkbookLimits limits;
    limits.maxUnpackedBytes = 4 << 20; // keeps each input quick; the checks are the same
    limits.maxTreeBytes = 16 << 20;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!bytes.empty() && bytes[0] == '<') bytes = WorkbookAround(bytes);
    for (const char* name : {"", "hand", "other"}) {
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

// The host's readers of files a user may hand it: worksheets, saved networks and saved
// populations. Every reader answers with its value or a message; what it accepts is written
// back and read again the same, and an accepted population goes to the library.
#include "csv.h"
#include "network_file.h"
#include "population_file.h"
#include "worksheet.h"
#include "xl_column.h"

#include "quar1432.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

void ReadWorksheet(const std::string& text) {
    std::vector<CsvRecord> records;
    Worksheet sheet;
    std::string error;
    if (!ParseCsv(text, &records, &error) || !BuildWorksheet(records, &sheet, &error)) {
        if (error.empty()) Fail("worksheet refused without a message");
        return;
    }
    Worksheet again;
    if (!ParseCsv(WorksheetCsv(sheet), &records, &error) ||
        !BuildWorksheet(records, &again, &error) || again.names != sheet.names)
        Fail("a worksheet written back reads differently");
}

void ReadNetwork(const std::string& text) {
    NetworkFile net, again;
    std::string error;
    if (!ParseNetworkFile(text, &net, &error)) {
        if (error.empty()) Fail("network refused without a message");
        return;
    }
    if (!ParseNetworkFile(NetworkFileText(net), &again, &error) || again.weights != net.weights)
        Fail("a network written back reads differently");
}

// A population reloaded into a supervisor over a small network.
void ReadPopulation(const std::string& text) {
    std::vector<Cell> cells;
    std::string error;
    if (!ReadPopulationText(text, &cells, &error)) {
        if (error.empty()) Fail("population refused without a message");
        return;
    }
    if (std::string(InitBP(2, 1, 6, 1, 1, 0, 3, 2, 0, 0, 0, CALC_DOUBLE)) != "OK") return;
    XlColumn a, b, y;
    for (int r = 0; r < 6; ++r) {
        a.AddNumber(r);
        b.AddNumber(r % 2);
        y.AddNumber(r * 0.5);
    }
    SetColumnEx(COLUMN_INPUT, 0, a.multi(), 0);
    SetColumnEx(COLUMN_INPUT, 1, b.multi(), 0);
    SetColumnEx(COLUMN_OUTPUT, 0, y.multi(), 0);
    InitSuper(0.5, 3, 2, 0, 0, 0, 0.1, 0.9, 0.05);
    XlColumn column(cells);
    if (ResultText(ReloadPop(column.multi())) == "OK" &&
        ResultText(TrainNextSchema(2, 0, 0.0, 0.0, 0.0)).empty())
        Fail("no answer from training a reloaded population");
    CleanUp();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        ReadWorksheet(text);
        break;
    case 1:
        ReadNetwork(text);
        break;
    default:
        ReadPopulation(text);
        break;
    }
    return 0;
}

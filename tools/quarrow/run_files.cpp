#include "run_files.h"

#include "report_html.h"
#include "workbook_write.h"

bool WriteRunFiles(const std::string& xlsx, const std::string& report, const Worksheet& sheet,
                   const RunFigures& run, bool quiet, std::ostream& out, std::string* error) {
    if (!xlsx.empty()) {
        if (!WriteResultsWorkbook(xlsx, sheet, run, error)) return false;
        if (!quiet) out << "Wrote the results workbook to " << xlsx << "\n";
    }
    if (!report.empty()) {
        if (!WriteHtmlReport(report, run, error)) return false;
        if (!quiet) out << "Wrote the report page to " << report << "\n";
    }
    return true;
}

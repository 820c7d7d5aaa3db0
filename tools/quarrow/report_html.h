// The report page: one self-contained HTML file (no scripts, nothing fetched) with what a run
// measured and its charts. Small enough to mail whatever the sheet's size: curves and point
// clouds are drawn at the page's resolution, and the per-row predictions stay in the workbook.
#pragma once

#include "figures.h"

#include <string>

std::string HtmlReport(const RunFigures& run);
// The page at `path`, written whole or not at all.
bool WriteHtmlReport(const std::string& path, const RunFigures& run, std::string* error);

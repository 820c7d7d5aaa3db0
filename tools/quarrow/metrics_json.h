// The run record as JSON, for programs that read a run's figures.
#pragma once

#include "figures.h"

#include <string>

// A JSON string literal of the text: quotes, backslashes and control characters escaped.
std::string JsonString(const std::string& text);

// Every field of the record; numbers that are not finite are written as null.
std::string MetricsJson(const RunFigures& run);

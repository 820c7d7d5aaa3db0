// Text charts for the terminal: the error curve and the weight histogram.
#pragma once

#include "engine_session.h"

#include <string>
#include <vector>

// The training error (*) and, when a testing pass ran, the testing error (o) against epochs.
std::string ErrorChart(const ErrorCurve& curve, int width = 60, int height = 10);

// The counts of a histogram text "{3,0,12}"; false when the text is not of that form.
bool HistogramCounts(const std::string& text, std::vector<long>* counts);
// One bar per bin with its value range and count.
std::string HistogramChart(const std::vector<long>& counts, double lo, double hi, int width = 40);

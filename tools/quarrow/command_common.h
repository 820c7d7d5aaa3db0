// Pieces the commands share: reading the network settings from the options, loading a sheet
// into a range, and describing results.
#pragma once

#include "engine_session.h"
#include "options.h"
#include "range.h"
#include "settings.h"
#include "worksheet.h"

#include <ostream>
#include <set>
#include <string>
#include <vector>

// The option names every command that builds a network from a sheet accepts.
std::set<std::string> NetworkOptionNames();
std::set<std::string> NetworkSwitchNames();

bool ReadNetSettings(const Options& options, NetSettings* settings, std::string* error);

// Loads the sheet, resolves --inputs/--outputs/--mode and builds the range for training.
bool SheetRange(const Options& options, const NetSettings& settings, Worksheet* sheet,
                ColumnChoice* choice, Range* range, std::string* error);

std::string TransferName(int code);
std::string DescribeColumns(const std::vector<RangeColumn>& columns);
void DescribeNetwork(std::ostream& out, const Range& range, const NetSettings& s);

// How well one output column's cells (as GetOutputsEx gave them in mode 1) match the targets
// on the data rows whose mode word is in `modes` ("" stands for rows without a word).
struct OutputScore {
    int rows = 0;
    int hits = 0;            // symbolic columns: rows whose symbol is the target's
    double sumSquares = 0.0; // numeric columns: squared error in the column's units
};
OutputScore ScoreOutput(const Range& range, const RangeColumn& column,
                        const std::vector<Cell>& outputs, const std::set<std::string>& modes);
std::string FormatScore(const RangeColumn& column, const OutputScore& score);

// The weight histogram of the current network over the weights' own span.
void PrintWeightHistogram(std::ostream& out, const std::vector<double>& weights, int bins);

// The sheet as it came (its first `columns` columns), with one "<name> predicted" column per
// output at its right, empty where no pattern is.
Worksheet WithPredictions(const Worksheet& sheet, int columns, const Range& range,
                          const std::vector<std::vector<Cell>>& outputs);

// A column of the table a person reads: at least as wide as its heading.
std::string Pad(const std::string& text, size_t width);

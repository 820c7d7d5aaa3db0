// Pieces the commands share: reading the network settings from the options, loading a sheet
// into a range, and describing results.
#pragma once

#include "cli.h"
#include "engine_session.h"
#include "figures.h"
#include "range.h"
#include "settings.h"
#include "worksheet.h"

#include <ostream>
#include <set>
#include <string>
#include <vector>

// Loads the sheet, resolves --inputs, --outputs and --mode, applies --symbolic and refuses
// values the network cannot use.
bool LoadSheetColumns(const SheetArgs& args, Worksheet* sheet, ColumnChoice* choice,
                      std::string* error);

// Builds the range for training from a loaded sheet, with the class orders of --classes.
bool TrainingRange(const SheetArgs& args, const Worksheet& sheet, const ColumnChoice& choice,
                   RangeRequest request, Range* range, std::string* error);

std::string TransferName(int code);
std::string DescribeColumns(const std::vector<RangeColumn>& columns);
void DescribeNetwork(std::ostream& out, const Range& range, const NetSettings& s);

// The weight histogram of the current network over the weights' own span.
void PrintWeightHistogram(std::ostream& out, const std::vector<double>& weights, int bins);

// The sheet as it came (its first `columns` columns), with one "<name> predicted" column per
// output at its right, empty where no pattern is, and an "outside trained range" column when
// some row's inputs lay outside the range the network was trained on.
Worksheet WithPredictions(const Worksheet& sheet, int columns, const RowPredictions& predictions);

// A run record started for `command` on `sheet`: the range's input and target column names.
RunFigures RunRecord(const std::string& command, const std::string& sheet, const Range& range);

// The weights of the current network and their histogram, into the run record.
bool RecordWeights(const Range& range, const NetSettings& s, std::vector<double>* weights,
                   RunFigures* run, std::string* error);

// A column of the table a person reads: at least as wide as its heading.
std::string Pad(const std::string& text, size_t width);

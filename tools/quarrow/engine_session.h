// Driving the library's exports the way the spreadsheet add-in drives them.
#pragma once

#include "range.h"
#include "settings.h"
#include "worksheet.h"

#include <string>
#include <vector>

// Sets the parameters, builds the network and loads the range: blank flags, mode flags (and
// the split between training and testing rows), then every input and output column. With
// `recall` the columns keep the bounds that the range carries (no margin) and no cut-offs apply.
bool LoadNetwork(const Range& range, const NetSettings& settings, bool recall, std::string* error);

// Writes into the range's mode words the split between training and testing rows that the
// library made when the range was loaded with a split share.
void MarkSplitRows(Range* range, const NetSettings& settings);

struct RunStats {
    double within = 0.0;  // output values within tolerance
    double outside = 0.0; // output values outside it
    double rms = 0.0;     // root-mean-square output error
    int epochs = 0;       // epochs run
};

// One call of the run loop; false when no network exists.
bool RunEpochs(bool train, int epochs, RunStats* stats);

// One output column, one cell per range row (rows before the first full window are empty):
// numbers, symbols (mode 1) or empty cells where no pattern is.
bool ReadOutputs(const Range& range, int column, int mode, std::vector<Cell>* cells,
                 std::string* error);

// All weights of the current network, page by page, and back.
bool ReadWeights(int weightCount, std::vector<double>* weights, std::string* error);
bool WriteWeights(const std::vector<double>& weights, std::string* error);

// The error curve: points of the training and testing RMS error, each the mean of
// `bucketSize` epochs.
struct ErrorCurve {
    std::vector<double> train, test;
    int bucketSize = 1;
    std::string secondName = "testing"; // what the second series measures
};
ErrorCurve ReadErrorCurve();

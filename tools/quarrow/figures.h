// What a run of the host measured, in one record: the settings it ran with, the error curves,
// and per set of rows (training, validation, testing) the figures of every output column.
// The text report, the JSON metrics, the results workbook and the HTML page all read this record
// and nothing else, so they always agree.
#pragma once

#include "worksheet.h"

#include <string>
#include <utility>
#include <vector>

// Figures of one symbolic output column on one set of rows.
struct ClassFigures {
    std::string name; // the class as the user wrote it
    int support = 0;  // rows whose actual class is this one
    double precision = 0.0, recall = 0.0, f1 = 0.0;
};

// Figures of one output column on one set of rows. Symbolic columns fill the class part,
// numeric ones the error part; both in the sheet's units.
struct OutputFigures {
    std::string column;
    bool symbolic = false;
    int rows = 0; // rows scored

    // symbolic: confusion[actual][predicted], in the order of `classes`
    std::vector<std::string> classes;
    std::vector<std::vector<int>> confusion;
    std::vector<ClassFigures> perClass;
    double accuracy = 0.0, balancedAccuracy = 0.0;

    // numeric, in data units
    double rmse = 0.0, mae = 0.0, r2 = 0.0;

    // (predicted, actual) per scored row, numeric columns only: what a scatter chart draws
    std::vector<double> predicted, actual;
};

struct SetFigures {
    std::string set; // "train", "validation" or "test"
    std::vector<OutputFigures> outputs;
};

// The recall of every sheet row: one cell per output column (numbers as numbers, symbols as
// text, empty where no pattern is), the row's mode word and whether an input lay outside the
// range the network was trained on.
struct RowPredictions {
    std::vector<std::string> outputs;     // output column names
    std::vector<std::vector<Cell>> cells; // [sheet row][output]
    std::vector<std::string> modes; // per sheet row: "TRAIN", "VALIDATION", "TEST", "SKIP", ""
    std::vector<bool> outOfRange;   // per sheet row
};

// One network design that `evolve` bred and scored.
struct SchemaFigures {
    std::string label;       // its rank or name as shown, e.g. "best", "2"
    std::vector<int> hidden; // units per hidden layer
    double rate = 0.0, momentum = 0.0, noise = 0.0;
    double error = 0.0; // its score; lower is better
    int epochs = 0;
    std::string inputs; // the input columns it uses, comma-separated
};

struct RunFigures {
    std::string command;                                       // "train", "predict", "evolve"
    std::string sheet;                                         // the input file
    std::vector<std::pair<std::string, std::string>> settings; // name, value as shown
    std::vector<std::string> inputs, outputs;                  // column names
    std::vector<int> layers;                                   // units per layer, inputs first

    // Error per epoch on the 0..1 scale the network learns on (empty when not measured).
    std::vector<double> trainCurve, validationCurve;
    int curveEvery = 1; // epochs between two points of the curves
    int epochsRun = 0;
    int bestEpoch = 0;    // the epoch whose weights were kept
    std::string stopRule; // by name: "epoch limit", "validation patience", ...
    double trainSeconds = 0.0;

    // Weight histogram: counts over [histLo, histHi] in equal bins.
    std::vector<long> histogram;
    double histLo = 0.0, histHi = 0.0;

    std::vector<SetFigures> sets;
    RowPredictions predictions;
    std::vector<SchemaFigures> schemas; // evolve only
    std::vector<std::string> warnings;
};

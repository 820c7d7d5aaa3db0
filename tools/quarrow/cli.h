// The command line of quarrow: what each command was asked to do, as the parser left it. The
// same definitions parse the arguments and print every command's --help.
#pragma once

#include "search_settings.h"
#include "settings.h"

#include <ostream>
#include <string>
#include <vector>

// What every command that builds a network from a sheet is told.
struct SheetArgs {
    std::string sheet;
    std::string sheetName;             // a workbook's sheet; empty: the first
    std::string inputs, outputs, mode; // column lists: names, letters or ranges
    std::vector<std::string> symbolic; // columns whose every value is a category
    std::vector<std::string> classes;  // "COLUMN=a,b,c": an explicit symbol order
    NetSettings settings;
};

struct TrainArgs {
    SheetArgs sheet;
    int epochs = 0; // 0: the default ceiling
    int chunk = 0;  // epochs between progress lines and validation checks; 0: chosen
    double goal = 0.0;
    double validate = -1.0;    // share of TRAIN rows held out; negative: the default
    int patience = 0;          // epochs without a better validation error; 0: the default
    std::string encoding;      // "coded" or "one-hot" ("" the default)
    std::string inputEncoding; // the same for symbolic inputs
    std::string save, out, resume, metrics;
    std::string xlsx, report; // the results workbook and the report page
    int bins = 10;
    int show = 8;
    bool quiet = false;
};

struct PredictArgs {
    std::string sheet, sheetName, net, out, inputs, mode, metrics;
    std::string xlsx, report;
    bool strict = false;
    bool quiet = false;
};

struct EvolveArgs {
    SheetArgs sheet;
    std::string search = "random"; // random, halving or breed
    int networks = 40;             // designs of random search and halving
    DesignSpace space;
    BreedingPlan plan; // its epochs are every design's
    std::string score = "validation";
    double validate = 0.2; // share of the TRAIN rows that ranks the designs
    std::string encoding;  // as train's --encoding ("" the default)
    std::string save, savePop, loadPop;
    bool dropInputs = false;
    std::string report; // a report page of the designs
    bool populationGiven = false;
};

struct WeightsArgs {
    std::string net;
    int bins = 10;
};

// "4,3" -> {4, 3}; "0" -> {}; each size 1 .. 32767, at most four. An empty string on success,
// else the reason.
std::string ParseHidden(const std::string& text, std::vector<int>* sizes);

// Parses the arguments (after the program name) and runs the command; the process exit code.
// 0 after --help and --version, 2 for a command line the parser refuses.
int RunQuarrow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

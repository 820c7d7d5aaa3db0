// A run record built by hand, for the tests of the reports that draw it.
#pragma once

#include "figures.h"
#include "sheet_support.h"

#include <cmath>
#include <limits>
#include <string>

// A sheet with a numeric output y and a symbolic output kind; the texts carry what the
// writers must escape or mend: markup, a leading "=", a Windows-1252 byte.
inline Worksheet SampleSheet() {
    return Sheet("x,colour,<b>&\"y\",kind,mode\n"
                 "0.1,red,1.5,oak,TRAIN\n"
                 "-2.25e-07,=1+1,2,pine,TRAIN\n"
                 "3,caf\xe9,,oak,TEST\n"
                 "4,blue,-7,pine,TEST\n");
}

inline RunFigures SampleRun() {
    RunFigures run;
    run.command = "train";
    run.sheet = "trees & <more>.csv";
    run.settings = {{"hidden", "6"}, {"method", "fixed"}, {"rate", "0.3"}};
    run.inputs = {"x", "colour"};
    run.outputs = {"<b>&\"y\"", "kind"};
    run.layers = {4, 6, 3};
    run.trainCurve = {0.5, 0.25, std::numeric_limits<double>::quiet_NaN(), 0.125};
    run.validationCurve = {0.6, 0.3, 0.2, 0.21};
    run.curveEvery = 10; // the last stretch, cut short by the stop, is 5 epochs
    run.epochsRun = 35;
    run.bestEpoch = 30;
    run.stopRule = "validation patience";
    run.histogram = {1, 0, 5, 2};
    run.histLo = -2.0;
    run.histHi = 2.0;

    OutputFigures y;
    y.column = "<b>&\"y\"";
    y.r2 = std::numeric_limits<double>::quiet_NaN(); // constant actuals have no R2
    y.actual = {1.5, 2.0};
    y.predicted = {1.25, 2.5};
    OutputFigures kind;
    kind.column = "kind";
    kind.symbolic = true;
    kind.classes = {"oak", "pine"};
    kind.confusion = {{1, 0}, {1, 0}};
    kind.perClass = {{"oak", 1, 0.5, 1.0, 2.0 / 3.0}, {"pine", 1, 0.0, 0.0, 0.0}};
    run.sets.push_back({"train", {y, kind}});
    kind.confusion = {{1, 0}, {0, 1}};
    y.actual = {-7};
    y.predicted = {-6.5};
    run.sets.push_back({"test", {y, kind}});

    RowPredictions& p = run.predictions;
    p.outputs = run.outputs;
    p.cells = {{CellFromField("1.25"), CellFromField("oak")},
               {CellFromField("2.5"), CellFromField("oak")},
               {CellFromField("0.75"), CellFromField("oak")},
               {CellFromField("-6.5"), CellFromField("pine")}};
    p.modes = {"TRAIN", "TRAIN", "TEST", "TEST"};
    p.outOfRange = {false, false, true, false};
    run.schemas = {{"best", {6}, 0.3, 0.5, 0.0, 0.01, 300, "x,colour"}};
    run.warnings = {"2 rows have no <kind>"};
    return run;
}

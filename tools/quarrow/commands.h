// The commands of the quarrow host. Each writes what a person reads to `out` and problems to
// `err`, and answers the process exit code: 0 done, 1 the library refused, 2 the sheet or the
// command line cannot be used.
#pragma once

#include "cli.h"

#include <ostream>

int CommandTrain(const TrainArgs& args, std::ostream& out, std::ostream& err);
int CommandPredict(const PredictArgs& args, std::ostream& out, std::ostream& err);
int CommandEvolve(const EvolveArgs& args, std::ostream& out, std::ostream& err);
int CommandWeights(const WeightsArgs& args, std::ostream& out, std::ostream& err);

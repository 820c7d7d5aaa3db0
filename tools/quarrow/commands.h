// The commands of the quarrow host. Each takes the arguments after its name, writes what a
// person reads to `out` and problems to `err`, and answers the process exit code.
#pragma once

#include <ostream>
#include <string>
#include <vector>

int CommandTrain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int CommandPredict(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int CommandEvolve(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int CommandWeights(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

void PrintUsage(std::ostream& out);

// Dispatches on the command name in args[0].
int RunQuarrow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

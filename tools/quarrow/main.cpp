// quarrow: trains, queries and evolves networks on worksheets saved as CSV files, driving the
// engine library the way the spreadsheet add-in does.
#include "commands.h"

#include <iostream>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunQuarrow(args, std::cout, std::cerr);
}

#include "commands.h"

#include "quar1432.h"

void PrintUsage(std::ostream& out) {
    out << R"(quarrow: neural networks on worksheets saved as CSV files

  quarrow train SHEET --inputs COLUMNS --outputs COLUMNS [options] [--save NET]
  quarrow predict SHEET --net NET [--out FILE] [--inputs COLUMNS] [--mode COLUMN]
  quarrow evolve SHEET --inputs COLUMNS --outputs COLUMNS [options]
  quarrow weights NET [--bins N]

The first row of a sheet names its columns. Columns are chosen by name ("x1,x2") or by
spreadsheet letter ("A,B"). A column holding texts is symbolic: each text is one category.
An empty row is a blank row. A mode column (--mode) may mark each row TRAIN, TEST or SKIP
and hold MIN, MAX and SYMBOL rows that fix a column's range or its list of symbols.

Network and training options (train, evolve):
  --hidden 4          hidden layer sizes, e.g. 6,3 (0: none)       [4]
  --method double     double or fixed (16-bit fixed point)         [double]
  --epochs N          epochs to train (evolve: per design)         [500; evolve 300]
  --chunk N           epochs between progress lines                [epochs/10]
  --goal E            stop once the RMS error is below E
  --rate R --momentum M --noise E                                  [0.5, 0.8, 0]
  --tolerance T       an output within T of its target counts as right  [0.1]
  --test-tolerance T  the same for testing rows                    [as --tolerance]
  --transfer 1..6 --gain G   transfer function and its gain        [3 logistic, 1]
  --margin M          widens each column's range by M/2 each side  [0.1]
  --range R           initial weights are drawn from -R .. R       [0.5]
  --seed S            seed of the weights and the noise            [1]
  --window W --step S rows per pattern, pattern step               [1, 1]
  --split F [--shuffle]  first share F of the rows train, the rest test
                      (--shuffle: a random share F)
  --test-rise R --train-rise R --hours H   early stops and time budget
  --auto-rate         the learning rate follows the error
  --save NET --bins N --show N   save the network; histogram bins; rows shown

Evolve options:
  --search random|halving|breed   how designs are found            [random]
  --networks 40       designs tried by random search or halving
  --score validation|train|test   what ranks the designs           [validation]
  --validation 0.25   share of the TRAIN rows set aside to rank designs
  --save NET          save the winning network (as train --save does)
  --drop-inputs       then leave out the winner's inputs one at a time, each
                      for good when the validation error is no worse
  --max-layers 3 --max-hidden 8 --inclusion 0.7     the design space
  --min-rate 0.1 --max-momentum 0.9 --max-noise 0.0
  breed only: --population 20 --generations 2 --breed 1|2|3 --crossover 1.0
  --mutation 0.2 --save-pop FILE --load-pop FILE (a one-column population sheet)
)";
}

int RunQuarrow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(args.empty() ? err : out);
        return args.empty() ? 2 : 0;
    }
    const std::string command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& a : rest)
        if (a == "--help" || a == "-h") {
            PrintUsage(out);
            return 0;
        }
    int code;
    if (command == "train")
        code = CommandTrain(rest, out, err);
    else if (command == "predict")
        code = CommandPredict(rest, out, err);
    else if (command == "evolve")
        code = CommandEvolve(rest, out, err);
    else if (command == "weights")
        code = CommandWeights(rest, out, err);
    else {
        err << "quarrow: unknown command \"" << command << "\" (try quarrow --help)\n";
        return 2;
    }
    CleanUp();
    return code;
}

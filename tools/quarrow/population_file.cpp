#include "population_file.h"

#include "csv.h"

namespace {

// The values of a saved population that decide how long training runs, and the sizes of the
// networks it draws, must be ones the command line could have given; the library checks the
// rest.
struct Limit {
    int cell;
    const char* what;
    double lo, hi;
    const char* option;
};
const Limit kLimits[] = {
    {kSettingsMaxLayers, "largest layer count", 2, 5, "--max-layers"},
    // The host draws hidden sizes up to --max-hidden less one.
    {kSettingsMaxHidden, "largest first hidden size", 0, 999, "--max-hidden"},
    {kSettingsMaxHidden + 1, "largest second hidden size", 0, 999, "--max-hidden"},
    {kSettingsMaxHidden + 2, "largest third hidden size", 0, 999, "--max-hidden"},
    {kSettingsMaxHidden + 3, "largest fourth hidden size", 0, 999, "--max-hidden"},
    {kHeaderSize, "size", 1, kMaxPopulation, "--population"},
    {kHeaderGoal, "epochs per schema", 1, kMaxEpochs, "--epochs"},
};

bool CheckPopulationCells(const std::vector<Cell>& cells, std::string* error) {
    if (cells.size() > kMaxPopulationRows) {
        *error = "the population has " + std::to_string(cells.size()) +
                 " rows; a population column holds at most " + std::to_string(kMaxPopulationRows);
        return false;
    }
    if (cells.size() < kPopulationHead) return true;
    // A cell that is not a number is the library's to refuse.
    auto outside = [&](int k, double lo, double hi) {
        return cells[k].kind == CellKind::Number &&
               !(cells[k].number >= lo && cells[k].number <= hi);
    };
    if (outside(kHeaderTrainMode, 2, 2) && outside(kHeaderTrainMode, 4, 4)) {
        *error = "the population's training mode is " + cells[kHeaderTrainMode].text +
                 "; quarrow trains with modes 2 and 4";
        return false;
    }
    for (const Limit& l : kLimits)
        if (outside(l.cell, l.lo, l.hi)) {
            *error = std::string("the population's ") + l.what + " is " + cells[l.cell].text +
                     "; " + l.option + " allows " + ShortNumber(l.lo) + " to " + ShortNumber(l.hi);
            return false;
        }
    if ((cells.size() - kPopulationHead) / kSchemaCells > size_t(kMaxPopulation)) {
        *error = "the population holds more than the " + std::to_string(kMaxPopulation) +
                 " schemas --population allows";
        return false;
    }
    return true;
}

} // namespace

bool ReadPopulationText(const std::string& text, std::vector<Cell>* cells, std::string* error) {
    std::vector<CsvRecord> records;
    Worksheet sheet;
    if (!ParseCsv(text, &records, error) || !BuildWorksheet(records, &sheet, error)) return false;
    cells->clear();
    for (const auto& row : sheet.rows)
        cells->push_back(row.empty() ? Cell() : row[0]);
    return CheckPopulationCells(*cells, error);
}

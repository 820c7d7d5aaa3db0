#include "population_file.h"

#include "csv.h"

namespace {

// The values of a saved population that decide how long training runs must be ones the command
// line could have given; the library checks the rest.
bool CheckPopulationCells(const std::vector<Cell>& cells, std::string* error) {
    if (cells.size() > kMaxPopulationRows) {
        *error = "the population has " + std::to_string(cells.size()) +
                 " rows; a population column holds at most " + std::to_string(kMaxPopulationRows);
        return false;
    }
    if (cells.size() < kPopulationHead) return true;
    auto number = [&](int k, double lo, double hi) {
        return cells[k].kind != CellKind::Number ||
               (cells[k].number >= lo && cells[k].number <= hi);
    };
    const size_t groups = (cells.size() - kPopulationHead) / kSchemaCells;
    if (!number(kHeaderTrainMode, 2, 2) && !number(kHeaderTrainMode, 4, 4)) {
        *error = "training mode " + cells[kHeaderTrainMode].text +
                 " is not one quarrow trains with (2 or 4)";
    } else if (!number(kHeaderGoal, 1, kMaxEpochs)) {
        *error = "the population trains each schema for " + cells[kHeaderGoal].text +
                 " epochs; --epochs allows 1 to " + std::to_string(kMaxEpochs);
    } else if (!number(kHeaderSize, 1, kMaxPopulation) || groups > kMaxPopulation) {
        *error = "the population is larger than --population allows (" +
                 std::to_string(kMaxPopulation) + ")";
    } else {
        return true;
    }
    return false;
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

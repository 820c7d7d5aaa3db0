// Saved populations: the population column of cells, one a row under a title row.
#pragma once

#include "worksheet.h"

#include <cstddef>
#include <string>
#include <vector>

constexpr size_t kPopulationHead = 33; // settings and header cells before the first schema
constexpr size_t kSchemaCells = 17;
constexpr int kSettingsMaxLayers = 8;
constexpr int kSettingsMaxHidden = 9; // then 10, 11, 12
constexpr int kHeaderSize = 22;
constexpr int kHeaderTrainMode = 26;
constexpr int kHeaderGoal = 27;
// The limits of the command line, which values from a population file must keep too.
constexpr int kMaxPopulation = 1000;
constexpr int kMaxEpochs = 32767;
// A population column's row count is a 16-bit field.
constexpr size_t kMaxPopulationRows = 65535;

// The cells of a saved population's text, refused with a message when the text is not a
// worksheet, when its rows do not fit a population column, or when the values that decide how
// long training runs or how large its networks grow are ones the command line could not have
// given. The library checks the rest when the cells are reloaded.
bool ReadPopulationText(const std::string& text, std::vector<Cell>* cells, std::string* error);

// Produces the constant tables of the engine's exponential from exact integer arithmetic.
#pragma once

#include <string>

// The complete text of src/engine/exact_exp_table.inc.
std::string ExpTableText();

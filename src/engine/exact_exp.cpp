// Placeholder: the platform exponential until the engine's own lands.
#include "engine/exact_exp.h"

#include <cmath>

double ExactExp(double x) { return std::exp(x); }

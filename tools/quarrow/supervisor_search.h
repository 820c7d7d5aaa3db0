// The library's genetic supervisor as a design search: a population of designs bred generation
// by generation, each schema trained and scored by the library itself.
#pragma once

#include "design_search.h"
#include "worksheet.h"

#include <string>
#include <vector>

// The population column as the library hands it out (numbers and mask texts), and back.
bool UnloadPopulation(std::vector<Cell>* cells, std::string* error);
bool ReloadPopulation(const std::vector<Cell>& cells, std::string* error);

// Schemas from a population column, in order, as designs with their scores.
std::vector<Candidate> PopulationDesigns(const std::vector<Cell>& cells);

// Every schema's weights start from `seed` in `range`; the library's own default is a clock
// seed and a range of 1.0.
bool FixSchemaWeights(int seed, double range, std::string* error);

// Starts the supervisor on the network loaded for the view (every candidate input) with the
// design space's ranges, and draws a first population from `drawSeed`.
bool StartSupervisor(const Range& view, const NetSettings& base, const DesignSpace& space,
                     const BreedingPlan& plan, int drawSeed, std::string* error);

// Trains the current population schema by schema, each measured as it is finished; `progress`
// hears of each one.
bool TrainPopulation(const Range& view, const BreedingPlan& plan, int generation, SearchProgress* p,
                     const ProgressFn& progress, std::vector<Candidate>* trained,
                     std::string* error);

// The whole search: `plan.generations` generations of `plan.population` schemas. A `loaded`
// population column replaces the first drawn one; when it carries scores, it is the parent of
// the first generation.
bool SupervisorSearch(const Range& view, const NetSettings& base, const DesignSpace& space,
                      const BreedingPlan& plan, int drawSeed, const std::vector<Cell>* loaded,
                      const ProgressFn& progress, SearchResult* result, std::string* error);

// The settings of a design search: the space designs are drawn from and how the genetic
// supervisor breeds them.
#pragma once

// Where designs are drawn from.
struct DesignSpace {
    double inclusion = 0.7; // chance that a candidate input is kept
    int maxLayers = 3;      // layers counted with the input and output layers, 2 .. 5
    int maxHidden = 8;      // hidden sizes are 1 .. maxHidden
    double minRate = 0.1, maxMomentum = 0.9, maxNoise = 0.0;
};

// How the genetic supervisor breeds; the defaults are the setting that came closest to random
// search at the same budget (bench/search_compare.py).
struct BreedingPlan {
    int population = 20;
    int generations = 2;
    int breed = 1; // 1 offspring, 2 replace the worst, 3 fresh
    double crossover = 1.0, mutation = 0.2;
    int epochs = 300;  // per schema
    int trainMode = 4; // 4: scored on the TEST rows the library is handed; 2: on the TRAIN rows
};

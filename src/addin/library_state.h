// The library's process-wide state: every record, where it lives, and the one reset.
//
//   gNet      engine/network_state.h    the network and its blocks, the training parameters,
//                                        the transfer table, the run history, the generator
//   gSuper    genetic/supervisor_state.h the supervisor's settings, saved data, population
//   parser    addin/parser.cpp          the column-name lists and the walk over them
//   gResults  addin/result_records.h    the records the exports hand back
//   gHooks    platform/hooks.h          the allocation-failure and clock test hooks
//
// Besides these, the only file-level records are the passes' layouts (scratch bound afresh at
// the start of every pass), the exponential's slow-path count (a statistic for the benchmarks)
// and the module handle the entry routine keeps for the life of the process.
#pragma once

// Frees every block and puts every record above back to its state at load: no network, no
// supervisor, transfer code 3 with gain 1.0, generator state 1, no parsed lists, empty result
// records, both test hooks off. The entry routine and the tests' fixture call it.
void ResetLibrary();

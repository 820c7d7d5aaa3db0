#include "addin/library_state.h"

#include "addin/parser.h"
#include "addin/result_records.h"
#include "engine/network_state.h"
#include "genetic/supervisor_release.h"
#include "genetic/supervisor_state.h"
#include "platform/platform.h"

void ResetLibrary() {
    // The hooks first: releasing must not meet a failing allocation or a frozen clock.
    ResetPlatformHooks();
    ReleasePopulation();
    ReleaseSupervisor();
    gSuper = GeneticSupervisor{};
    LoadNetworkDefaults();
    ResetParser();
    ResetResultRecords();
}

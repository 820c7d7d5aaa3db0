#include "engine/network_state.h"

#include "engine/network_build.h"
#include "engine/transfer.h"

#include <cstring>

NetworkState gNet; // zero-initialised before any constructor runs

namespace {

void SetLoadState() {
    std::memset(&gNet, 0, sizeof gNet);
    gNet.transferCode = 3;
    gNet.transferGain = 1.0;
    BuildTransferTable(3, 1.0);
    gNet.randomState = 1;
}

// The defaults are in force from the moment the library is loaded.
struct LoadTimeDefaults {
    LoadTimeDefaults() { SetLoadState(); }
} loadTimeDefaults;

} // namespace

void LoadNetworkDefaults() {
    ReleaseNetwork();
    SetLoadState();
}

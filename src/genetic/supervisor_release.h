// Release of the genetic supervisor's blocks; CleanUp calls both after ReleaseNetwork.
#pragma once

// Frees the settings and the saved network.
void ReleaseSupervisor();
// Frees the population header, the schema records and the unload blocks.
void ReleasePopulation();

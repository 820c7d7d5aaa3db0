// Placeholder until the supervisor's records exist: nothing to release yet.
#include "genetic/supervisor_release.h"

void ReleaseSupervisor() {}
void ReleasePopulation() {}

#include "upgrade/RadioUpgrade.h"

// Placeholder until feature patching is written.
void CRadioUpgrade::DoPatch() {}

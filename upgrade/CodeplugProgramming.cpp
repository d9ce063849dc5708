#include "upgrade/RadioUpgrade.h"

// Placeholder until codeplug programming is written.
void CRadioUpgrade::DoProgCp() {}

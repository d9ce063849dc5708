#pragma once

#include "upgrade/CarryOver.h"

class CVeskBroker;

// The radio's identity as it reports it, running its application: its model text (status
// request 0, up to the first zero byte or space), its serial number (the identity text of
// status request 11, at most 10 characters, cut at the first space) and its radio code (status
// request 4, two characters). The Program press records a radio with it and `tessarin carryover
// restore` checks a radio against its record with it. Raises what the exchange raises.
RadioIdentity RequestRadioIdentity(CVeskBroker& broker);

#pragma once

#include "upgrade/CarryOver.h"

#include <cstddef>
#include <string>

class CVeskBroker;

// The radio's identity as it reports it, running its application: its model text (status
// request 0, up to the first zero byte or space), its serial number (the identity text of
// status request 11, at most 10 characters, cut at the first space) and its radio code (status
// request 4, two characters). The Program press records a radio with it and `tessarin carryover
// restore` checks a radio against its record with it. Raises what the exchange raises.
RadioIdentity RequestRadioIdentity(CVeskBroker& broker);

// The text in a status reply or memory buffer of `size` bytes: up to its first zero byte and
// its first space, never more than `limit` characters.
std::string CutText(const char* buffer, std::size_t size, std::size_t limit);

#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>

class CUpgradeForm;

// The radio of the form's last press as one JSON object, the same in every report that names
// it (`plan --json`, `program --json`, the journal of presses): its identity as verification
// read it (model text, serial number, radio code), the version, release and level matching
// read, the codeplug layout, and the flash size of `firmwareFile`, the image the press chose by
// its flash probe (null when none was chosen).
// Null when no radio was read.
nlohmann::json RadioFactsJson(const CUpgradeForm& form, const std::string& firmwareFile = "");

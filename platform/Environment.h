#pragma once

#include <string>

// The process's environment, for settings a program hands to the code it runs (the test
// programs' own settings file and record folder).

// Sets `name` to `value` (UTF-8) for this process and the programs it starts; a value that is
// there already is kept unless `replace` is true.
void SetEnvironmentValue(const std::string& name, const std::string& value, bool replace);

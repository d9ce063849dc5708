#pragma once

#include "app/ProgramOutcome.h"
#include "cli/TerminalUi.h"

#include <cstdio>
#include <vector>

class CUpgradeForm;

// The summary of `tessarin program --json`: outcome, engine result, plan, firmware file, every
// message shown, elapsed time; one object on one line.
void PrintProgramJson(std::FILE* out, const CUpgradeForm& form, const ProgramOutcome& outcome, int exitStatus,
                      int presses, const std::vector<CTerminalUi::Shown>& messages, double elapsedSeconds);
// `tessarin plan`: the plan in words, and as JSON.
void PrintPlanWords(std::FILE* out, const CUpgradeForm& form, const PlanReport& report);
void PrintPlanJson(std::FILE* out, const CUpgradeForm& form, const PlanReport& report, int exitStatus,
                   const std::vector<CTerminalUi::Shown>& messages);

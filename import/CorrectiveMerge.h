#pragma once
// The corrective merge: each CorrTable row replaces the six amounts of the
// ImpTable row it corrects (same SNILS, Period = KPeriod, same Category);
// a missing initial row is reported through `prompts` and skipped.
#include "tables/Prompts.h"
#include "tables/WorkingTables.h"

namespace quarlex {

void applyCorrections(WorkingTables& tables, Prompts& prompts);

} // namespace quarlex

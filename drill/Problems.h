#pragma once

#include "DrillState.h"

#include <functional>

// A uniform draw from 0 to bound - 1.
using DrawBelow = std::function<std::int32_t(std::int32_t bound)>;

// Five problems, drawn multiplicand then multiplier for each slot in turn.
[[nodiscard]] std::array<ProblemSlot, 5> drawProblems(const DrawBelow &draw);

// The program's one generator: seeded once from the clock, then every game continues its sequence.
void seedRandomFromClock();
[[nodiscard]] std::int32_t randomBelow(std::int32_t bound);

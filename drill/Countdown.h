#pragma once

#include <cstdint>

// One second less. A limit near the bottom of the 32-bit range counts on past it the way
// 32-bit arithmetic wraps, instead of overflowing.
[[nodiscard]] std::int32_t oneSecondLess(std::int32_t timeLeft);

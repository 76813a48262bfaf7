#pragma once

#include <QByteArrayList>

#include <array>
#include <cstdint>
#include <optional>

struct ProblemSlot {
    std::int32_t Multiplicand = 0;
    std::int32_t Multiplier = 0;
    std::int32_t Product = 0;
};

// The whole drill: one per window, and the program has one window.
struct DrillState {
    std::array<ProblemSlot, 5> Slots{};
    std::int32_t TimeLeft = 0;
    std::uint8_t GameRunning = 0;
    std::int32_t CorrectCount = 0;
    // The lines of the time-limit file; absent before the window is created and after it is gone.
    std::optional<QByteArrayList> TimeLimitList;
};

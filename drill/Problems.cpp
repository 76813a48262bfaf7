#include "Problems.h"

#include <chrono>
#include <random>

namespace {
std::mt19937 &engine()
{
    static std::mt19937 generator;
    return generator;
}
} // namespace

std::array<ProblemSlot, 5> drawProblems(const DrawBelow &draw)
{
    std::array<ProblemSlot, 5> problems;
    for (ProblemSlot &slot : problems) {
        slot.Multiplicand = draw(100);
        slot.Multiplier = draw(10);
        slot.Product = slot.Multiplicand * slot.Multiplier;
    }
    return problems;
}

void seedRandomFromClock()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    engine().seed(static_cast<std::mt19937::result_type>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

std::int32_t randomBelow(std::int32_t bound)
{
    return std::uniform_int_distribution<std::int32_t>(0, bound - 1)(engine());
}

#include "Countdown.h"

std::int32_t oneSecondLess(std::int32_t timeLeft)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(timeLeft) - 1U);
}

#pragma once

#include <QString>

#include <cstdint>

// Right only when the typed text is exactly the product's decimal digits: no spaces,
// no leading zeros, no full-width digits.
[[nodiscard]] bool isRightAnswer(const QString &typed, std::int32_t product);

struct GameResult {
    QString clip;
    std::int32_t score;
};

// Clip and score for 0 to 5 right answers; three and four right share a clip.
[[nodiscard]] GameResult resultFor(std::int32_t correctCount);

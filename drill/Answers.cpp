#include "Answers.h"

#include <array>

bool isRightAnswer(const QString &typed, std::int32_t product)
{
    return typed == QString::number(product);
}

GameResult resultFor(std::int32_t correctCount)
{
    static const std::array<QString, 6> clips = {u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs, u"4"_qs, u"5"_qs};
    return {clips.at(static_cast<std::size_t>(correctCount)), correctCount * 20};
}

#pragma once

#include <QByteArrayList>
#include <QString>

#include <cstdint>

// Reads the file whole and splits it into lines (CR LF, lone LF or lone CR end a line; the text
// ends at the first NUL). Throws DrillError "ファイル <name> は開けません" when it can't be read.
[[nodiscard]] QByteArrayList loadTimeLimitFile(const QString &fileName);

// Splits a file's bytes as loadTimeLimitFile does.
[[nodiscard]] QByteArrayList splitLines(QByteArrayView text);

// The time limit in seconds from line 1. Throws DrillError with the list-index message when
// there is no line, or the not-an-integer message when line 1 is no 32-bit integer.
[[nodiscard]] std::int32_t readTimeLimit(const QByteArrayList &lines);

#pragma once

#include <QString>

#include <stdexcept>

// A failure the user is told about in an error box; the text is already in the user's language.
class DrillError : public std::runtime_error {
public:
    // noinline: the return address must be the raising code's, not an inlined caller's.
    [[gnu::noinline]] explicit DrillError(const QString &message);
    [[nodiscard]] QString message() const;
    // Where in the program it was raised, for reports that name a code address.
    [[nodiscard]] const void *address() const { return raisedAt; }

private:
    const void *raisedAt;
};

// The message as the error box shows it: a full stop is added unless the text already ends
// in a character that sorts at or before "." (such as ")").
[[nodiscard]] QString withFullStop(const QString &message);

// The title of every box: the program file's name without directory, cut at its first ".",
// every character after the first in lower case.
[[nodiscard]] QString applicationTitle(const QString &programFilePath);

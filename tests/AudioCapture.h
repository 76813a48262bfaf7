#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Reading what SDL's disk driver wrote and finding the program's clips in it.

inline constexpr int clipSampleRate = 22050;

[[nodiscard]] QByteArray clipFile(const QString &name);
[[nodiscard]] std::vector<qint16> clipSamples(const QString &name);
[[nodiscard]] int clipLengthMs(const QString &name);
[[nodiscard]] std::vector<qint16> capturedSamples(const QString &rawPath);

// Checks that `out` is exactly the named clips mixed, each started at some point, in the order
// given. Fills `onsets` (in samples) and returns an empty text, or says what does not match.
[[nodiscard]] QString matchMix(const std::vector<qint16> &out, const QStringList &names,
                               std::vector<std::size_t> &onsets);

// Sets an environment variable (SDL reads its driver choice there) and puts back the old value.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray &value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *name;
    bool had;
    QByteArray old;
};

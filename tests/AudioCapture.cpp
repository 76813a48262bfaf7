#include "AudioCapture.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {
constexpr int waveHeaderBytes = 46;
}

QByteArray clipFile(const QString &name)
{
    QFile file(QStringLiteral(":/clips/%1.wav").arg(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<qint16> clipSamples(const QString &name)
{
    const QByteArray pcm = clipFile(name).mid(waveHeaderBytes);
    std::vector<qint16> samples(static_cast<std::size_t>(pcm.size()) / 2);
    qFromLittleEndian<qint16>(pcm.constData(), static_cast<qsizetype>(samples.size()), samples.data());
    return samples;
}

int clipLengthMs(const QString &name)
{
    return static_cast<int>(clipSamples(name).size() * 1000 / clipSampleRate);
}

// The device's output, in the machine's byte order.
std::vector<qint16> capturedSamples(const QString &rawPath)
{
    QFile raw(rawPath);
    if (!raw.open(QIODevice::ReadOnly))
        return {};
    const QByteArray pcm = raw.readAll();
    std::vector<qint16> samples(static_cast<std::size_t>(pcm.size()) / 2);
    std::memcpy(samples.data(), pcm.constData(), samples.size() * 2);
    return samples;
}

QString matchMix(const std::vector<qint16> &out, const QStringList &names,
                 std::vector<std::size_t> &onsets)
{
    // Each clip's onset is where the output first departs from the clips already placed.
    std::vector<int> sum(out.size(), 0);
    const auto mixed = [&sum](std::size_t i) {
        return static_cast<qint16>(std::clamp(sum[i], -32768, 32767));
    };
    const auto firstDifference = [&] {
        std::size_t i = 0;
        while (i < out.size() && out[i] == mixed(i))
            ++i;
        return i;
    };
    onsets.clear();
    for (const QString &name : names) {
        const std::vector<qint16> clip = clipSamples(name);
        const auto lead = static_cast<std::size_t>(
            std::ranges::find_if(clip, [](qint16 s) { return s != 0; }) - clip.begin());
        const std::size_t first = firstDifference();
        if (first >= out.size() || first < lead)
            return u"clip "_qs + name + u" not heard"_qs;
        const std::size_t onset = first - lead;
        if (onset + clip.size() > out.size())
            return u"output ends before clip "_qs + name + u" does"_qs;
        for (std::size_t i = 0; i < clip.size(); ++i)
            sum[onset + i] += clip[i];
        onsets.push_back(onset);
    }
    const std::size_t differs = firstDifference();
    if (differs == out.size())
        return {};
    return QStringLiteral("sample %1 of %2: got %3, expected %4")
        .arg(differs).arg(out.size()).arg(out[differs]).arg(mixed(differs));
}

ScopedEnv::ScopedEnv(const char *name, const QByteArray &value)
    : name(name)
    , had(qEnvironmentVariableIsSet(name))
    , old(qgetenv(name))
{
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv()
{
    if (had)
        qputenv(name, old);
    else
        qunsetenv(name);
}

// Writes the drill's five sound clips, 1.wav to 5.wav, into the folder given on the command line.
// "1" is a gentle try-again phrase, "2" to "4" cheer more with each step, "5" is a fanfare.
// The output is committed; run this again only to change the sounds.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t sampleRate = 22050;
constexpr double fullScale = 32767.0;

struct Note {
    double startS;
    double lengthS;
    double hz;
    double level;
    double decayS; // time for the note to fall to 1/e
};

struct Clip {
    const char *name;
    std::uint32_t samples; // the players expect these exact lengths
    double peak;           // fraction of full scale: headroom so copies mix without clipping
    std::vector<Note> notes;
};

// Mellow, marimba-like tone: a few quiet harmonics, each dying faster than the fundamental.
constexpr std::array<double, 4> harmonicLevels{1.0, 0.30, 0.10, 0.04};

constexpr double attackS = 0.012;  // long enough that no onset clicks, short enough to sound struck
constexpr double releaseS = 0.080; // every note fades to exact zero before it ends

[[nodiscard]] double raisedCosine(double x) // 0 → 1 over x in [0, 1], smooth at both ends
{
    return 0.5 - 0.5 * std::cos(std::numbers::pi * std::clamp(x, 0.0, 1.0));
}

void addNote(std::vector<double> &mix, const Note &note)
{
    const auto first = static_cast<std::size_t>(std::lround(note.startS * sampleRate));
    const auto count = static_cast<std::size_t>(std::lround(note.lengthS * sampleRate));
    for (std::size_t i = 0; i < count && first + i < mix.size(); ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        const double envelope = raisedCosine(t / attackS) * raisedCosine((note.lengthS - t) / releaseS)
                                * std::exp(-t / note.decayS);
        double tone = 0.0;
        for (std::size_t h = 0; h < harmonicLevels.size(); ++h) {
            const double k = static_cast<double>(h + 1);
            tone += harmonicLevels[h] * std::exp(-t * (k - 1.0) * 3.0)
                    * std::sin(2.0 * std::numbers::pi * k * note.hz * t);
        }
        mix[first + i] += note.level * envelope * tone;
    }
}

[[nodiscard]] std::vector<std::int16_t> render(const Clip &clip)
{
    std::vector<double> mix(clip.samples, 0.0);
    for (const Note &note : clip.notes)
        addNote(mix, note);
    double loudest = 0.0;
    for (const double x : mix)
        loudest = std::max(loudest, std::abs(x));
    // Scaled to a fixed peak so every clip sits at a known, safe loudness.
    const double gain = clip.peak * fullScale / loudest;
    std::vector<std::int16_t> pcm(mix.size());
    std::ranges::transform(mix, pcm.begin(), [gain](double x) {
        return static_cast<std::int16_t>(std::lround(x * gain));
    });
    return pcm;
}

void putU16(std::ofstream &out, std::uint16_t v)
{
    const std::array<char, 2> bytes{static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
    out.write(bytes.data(), bytes.size());
}

void putU32(std::ofstream &out, std::uint32_t v)
{
    putU16(out, static_cast<std::uint16_t>(v & 0xffff));
    putU16(out, static_cast<std::uint16_t>(v >> 16));
}

// 16-bit mono PCM with an 18-byte "fmt " chunk (cbSize 0), the layout the drill has always shipped.
[[nodiscard]] bool writeWave(const std::filesystem::path &path, std::span<const std::int16_t> pcm)
{
    constexpr std::uint16_t bytesPerSample = 2;
    const auto dataBytes = static_cast<std::uint32_t>(pcm.size() * bytesPerSample);
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    putU32(out, 4 + (8 + 18) + 8 + dataBytes);
    out.write("WAVEfmt ", 8);
    putU32(out, 18);
    putU16(out, 1); // PCM
    putU16(out, 1); // mono
    putU32(out, sampleRate);
    putU32(out, sampleRate * bytesPerSample);
    putU16(out, bytesPerSample);
    putU16(out, 16);
    putU16(out, 0);
    out.write("data", 4);
    putU32(out, dataBytes);
    for (const std::int16_t s : pcm)
        putU16(out, static_cast<std::uint16_t>(s));
    return static_cast<bool>(out.flush());
}

// Equal-tempered pitch from a MIDI note number (60 = middle C).
[[nodiscard]] double pitch(int midi)
{
    return 440.0 * std::exp2((midi - 69) / 12.0);
}

// A rising arpeggio; every note rings on until the last one has rung for ringS, so they fade
// out together instead of dropping away one by one.
[[nodiscard]] std::vector<Note> arpeggio(std::initializer_list<int> midiNotes, double stepS, double ringS)
{
    constexpr double firstS = 0.02;
    const double endS = firstS + static_cast<double>(midiNotes.size() - 1) * stepS + ringS;
    std::vector<Note> notes;
    double start = firstS;
    for (const int midi : midiNotes) {
        const bool last = notes.size() + 1 == midiNotes.size();
        notes.push_back({start, endS - start, pitch(midi), last ? 1.0 : 0.7, last ? 0.45 : 0.30});
        start += stepS;
    }
    return notes;
}

[[nodiscard]] std::vector<Clip> clips()
{
    std::vector<Clip> all;
    // Down a third and back up, soft and slow: "never mind, once more".
    all.push_back({"1", 24860, 0.45,
                   {{0.02, 0.40, pitch(69), 1.0, 0.30},
                    {0.32, 0.40, pitch(65), 0.9, 0.30},
                    {0.62, 0.42, pitch(69), 0.9, 0.28}}});
    all.push_back({"2", 39600, 0.60, arpeggio({72, 76, 79}, 0.14, 1.30)});
    all.push_back({"3", 44660, 0.60, arpeggio({74, 78, 81, 86}, 0.12, 1.50)});
    all.push_back({"4", 44880, 0.60, arpeggio({76, 80, 83, 88, 92}, 0.10, 1.50)});
    // Quick arpeggio, then the full chord held and a bright top note.
    std::vector<Note> fanfare = arpeggio({67, 72, 76, 79}, 0.10, 0.42);
    for (const int midi : {60, 67, 72, 76, 79, 84})
        fanfare.push_back({0.48, 1.90, pitch(midi), midi == 84 ? 0.8 : 0.6, 0.70});
    all.push_back({"5", 56100, 0.65, std::move(fanfare)});
    return all;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const Clip &clip : clips()) {
        const auto path = folder / (std::string(clip.name) + ".wav");
        if (!writeWave(path, render(clip))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

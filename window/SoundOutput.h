#pragma once

#include "DrillError.h"

#include <QObject>
#include <QString>

#include <array>
#include <memory>

struct Mix_Chunk;

// The sound system itself cannot be used; the window cannot be built without it.
class FatalSoundError : public DrillError {
public:
    // Inlined so DrillError records the address of the code that raised this.
    [[gnu::always_inline]] explicit FatalSoundError(const QString &message)
        : DrillError(message)
    {
    }
};

// The audio device, opened for the window's lifetime.
//
// Failures of two kinds:
//  - no sound: SDL_InitSubSystem(SDL_INIT_AUDIO) fails (no usable driver or sound server) or
//    Mix_OpenAudio fails (no device). The drill goes on silently; isOpen() is false.
//  - FatalSoundError: the linked SDL2_mixer is older than the one built against.
class SoundOutput : public QObject {
    Q_OBJECT
public:
    explicit SoundOutput(QObject *parent = nullptr);
    ~SoundOutput() override;

    [[nodiscard]] bool isOpen() const { return open; }

private:
    bool audioInitialised = false;
    bool open = false;
};

// The drill's five clips, "1" to "5", ready to play on a SoundOutput. Must be destroyed before
// that output.
//
// Throws FatalSoundError when the device is open but a clip cannot be created from the
// program's resources (missing or undecodable).
class WaveList : public QObject {
    Q_OBJECT
public:
    explicit WaveList(SoundOutput *output, QObject *parent = nullptr);
    ~WaveList() override;

    // Starts the named clip (case ignored) and returns at once. A clip is never cut off by its own
    // replay: a further copy sounds beside the ones still playing. Does nothing without a device.
    void play(const QString &name);

    // Mixer channels allocated so far: the most copies that have had to sound at once.
    [[nodiscard]] int channelCount() const;

private:
    struct ChunkDeleter {
        void operator()(Mix_Chunk *chunk) const;
    };

    static constexpr int clipCount = 5;
    std::array<std::unique_ptr<Mix_Chunk, ChunkDeleter>, clipCount> chunks;
};

#include "SoundOutput.h"

#include <QFile>
#include <QtDebug>

#include <SDL.h>
#include <SDL_mixer.h>
#include <alsa/error.h>

namespace {

// The clips' own format: the mixer plays them as they are, with no conversion, and a mono
// stream sounds from the centre.
constexpr int sampleRate = 22050;
constexpr int outputChannels = 1;
constexpr int chunkFrames = 1024; // 46 ms: low latency without risking underruns

// Without a sound card ALSA reports every probe it makes on stderr, a screenful at each start.
void ignoreAlsaError(const char *, int, const char *, int, const char *, ...)
{
}

[[nodiscard]] QString clipName(int index)
{
    return QString::number(index + 1);
}

[[nodiscard]] Mix_Chunk *loadClip(const QString &name)
{
    QFile file(QStringLiteral(":/clips/%1.wav").arg(name));
    Mix_Chunk *chunk = nullptr;
    if (file.open(QIODevice::ReadOnly)) {
        // Mix_LoadWAV_RW copies the samples out, so the bytes need not outlive it.
        const QByteArray wave = file.readAll();
        chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(wave.constData(), static_cast<int>(wave.size())), 1);
    }
    if (!chunk)
        throw FatalSoundError(QStringLiteral("%1 を作成できません").arg(name));
    return chunk;
}

} // namespace

SoundOutput::SoundOutput(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("DXSound1"));

    const SDL_version *linked = Mix_Linked_Version();
    if (SDL_VERSIONNUM(linked->major, linked->minor, 0)
        < SDL_VERSIONNUM(SDL_MIXER_MAJOR_VERSION, SDL_MIXER_MINOR_VERSION, 0))
        throw FatalSoundError(QStringLiteral("%1 を読み込めません").arg(QStringLiteral("SDL2_mixer")));

    snd_lib_error_set_handler(&ignoreAlsaError);
    // SDL would otherwise take over SIGINT and SIGTERM and turn them into events the drill never
    // reads: the program could then not be stopped by a plain kill or a session logout.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");

    // Either failure only means this machine has no sound: the drill goes on silently.
    // SDL_InitSubSystem fails when no driver or sound server can be used at all.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        qInfo("No sound: %s", SDL_GetError());
        return;
    }
    // Mix_OpenAudio fails when the driver has no device to open.
    if (Mix_OpenAudio(sampleRate, AUDIO_S16SYS, outputChannels, chunkFrames) != 0) {
        qInfo("No sound: %s", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    open = true;
}

SoundOutput::~SoundOutput()
{
    if (!open)
        return;
    // Closing with clips still sounding makes the sound server drain them first, holding up exit.
    Mix_HaltChannel(-1);
    Mix_CloseAudio();
    // Quit as well, so the next output opened in this process starts SDL's audio afresh.
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void WaveList::ChunkDeleter::operator()(Mix_Chunk *chunk) const
{
    Mix_FreeChunk(chunk);
}

WaveList::WaveList(SoundOutput *output, QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("DXWaveList1"));
    if (!output->isOpen())
        return;
    for (int i = 0; i < clipCount; ++i)
        chunks[i].reset(loadClip(clipName(i)));
    // One channel per clip to begin with; play() adds one whenever copies overlap.
    Mix_AllocateChannels(clipCount);
}

WaveList::~WaveList()
{
    if (chunks.front())
        Mix_HaltChannel(-1);
}

void WaveList::play(const QString &name)
{
    for (int i = 0; i < clipCount; ++i) {
        if (!chunks[i] || name.compare(clipName(i), Qt::CaseInsensitive) != 0)
            continue;
        // Channel -1 takes one that is not sounding, so no copy still playing is cut off. The
        // chunk's samples are shared, so any free channel serves as a copy of the clip.
        if (Mix_PlayChannel(-1, chunks[i].get(), 0) == -1) {
            Mix_AllocateChannels(Mix_AllocateChannels(-1) + 1);
            Mix_PlayChannel(-1, chunks[i].get(), 0);
        }
        return;
    }
}

int WaveList::channelCount() const
{
    return chunks.front() ? Mix_AllocateChannels(-1) : 0;
}

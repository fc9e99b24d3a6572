#pragma once
// Sound from memory and the system beep.
#include <cstdint>
#include <optional>

#include <QByteArray>

namespace quillane::platform {

struct WaveInfo {
  int channels = 0;
  int sampleRate = 0;
  int bitsPerSample = 0;
  qsizetype dataOffset = 0;  // of the sample data in the file
  qsizetype dataSize = 0;    // bytes of sample data
};

// Reads the header of a RIFF/WAVE file of uncompressed PCM (8 or 16 bits, 1 or 2 channels);
// nullopt for anything else or a file cut short.
std::optional<WaveInfo> ParseWave(const QByteArray& wave);

// Starts playing a wave held in memory and returns at once; a sound still playing is stopped
// first. Silent on any failure (no sound support built in, no audio device, a bad wave): the
// result only says whether playback was started. Needs the application's event loop to proceed.
bool PlayWaveAsync(const QByteArray& wave);
// Stops the sound started last, if any.
void StopWave();
// The system beep (nothing without a widget application).
void Beep();

}  // namespace quillane::platform

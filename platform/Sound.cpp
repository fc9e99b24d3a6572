#include "platform/Sound.h"

#include <cstring>

#include <QApplication>

#ifdef QUILLANE_HAVE_MULTIMEDIA
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QPointer>
#endif

namespace quillane::platform {
namespace {

std::uint32_t U32(const QByteArray& b, qsizetype at) {
  const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t U16(const QByteArray& b, qsizetype at) {
  const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

#ifdef QUILLANE_HAVE_MULTIMEDIA
struct Playback {
  QPointer<QAudioSink> sink;
  QPointer<QBuffer> buffer;
};
Playback& Current() {
  static Playback p;
  return p;
}
#endif

}  // namespace

std::optional<WaveInfo> ParseWave(const QByteArray& wave) {
  if (wave.size() < 12 || std::memcmp(wave.constData(), "RIFF", 4) != 0 ||
      std::memcmp(wave.constData() + 8, "WAVE", 4) != 0) {
    return std::nullopt;
  }
  WaveInfo info;
  bool haveFormat = false;
  qsizetype at = 12;
  while (at + 8 <= wave.size()) {
    const QByteArray id = wave.mid(at, 4);
    const std::uint32_t size = U32(wave, at + 4);
    const qsizetype body = at + 8;
    if (size > static_cast<std::uint64_t>(wave.size() - body)) return std::nullopt;
    if (id == "fmt ") {
      if (size < 16 || U16(wave, body) != 1) return std::nullopt;  // PCM only
      info.channels = U16(wave, body + 2);
      info.sampleRate = static_cast<int>(U32(wave, body + 4));
      info.bitsPerSample = U16(wave, body + 14);
      if ((info.channels != 1 && info.channels != 2) ||
          (info.bitsPerSample != 8 && info.bitsPerSample != 16) || info.sampleRate < 1000 ||
          info.sampleRate > 192000) {
        return std::nullopt;
      }
      haveFormat = true;
    } else if (id == "data") {
      if (!haveFormat) return std::nullopt;
      info.dataOffset = body;
      info.dataSize = static_cast<qsizetype>(size);
      return info;
    }
    at = body + static_cast<qsizetype>(size) + (size & 1);
  }
  return std::nullopt;
}

bool PlayWaveAsync(const QByteArray& wave) {
  StopWave();
#ifdef QUILLANE_HAVE_MULTIMEDIA
  const auto info = ParseWave(wave);
  if (!info || !QCoreApplication::instance()) return false;
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) return false;
  QAudioFormat format;
  format.setSampleRate(info->sampleRate);
  format.setChannelCount(info->channels);
  format.setSampleFormat(info->bitsPerSample == 16 ? QAudioFormat::Int16 : QAudioFormat::UInt8);
  if (!device.isFormatSupported(format)) return false;
  auto* buffer = new QBuffer();
  buffer->setData(wave.mid(info->dataOffset, info->dataSize));
  if (!buffer->open(QIODevice::ReadOnly)) {
    delete buffer;
    return false;
  }
  auto* sink = new QAudioSink(device, format);
  QObject::connect(sink, &QAudioSink::stateChanged, sink, [sink, buffer](QAudio::State state) {
    if (state == QAudio::IdleState ||
        (state == QAudio::StoppedState && sink->error() != QAudio::NoError)) {
      sink->stop();
      sink->deleteLater();
      buffer->deleteLater();
    }
  });
  sink->start(buffer);
  if (sink->error() != QAudio::NoError) {
    sink->deleteLater();
    buffer->deleteLater();
    return false;
  }
  Current().sink = sink;
  Current().buffer = buffer;
  return true;
#else
  (void)wave;
  return false;
#endif
}

void StopWave() {
#ifdef QUILLANE_HAVE_MULTIMEDIA
  Playback& p = Current();
  if (p.sink) {
    p.sink->disconnect();
    p.sink->stop();
    p.sink->deleteLater();
  }
  if (p.buffer) p.buffer->deleteLater();
  p.sink = nullptr;
  p.buffer = nullptr;
#endif
}

void Beep() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) QApplication::beep();
}

}  // namespace quillane::platform

#include "platform/loopback/loopback.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace zorvane {

namespace {
constexpr int64_t kOutputRate = 44100;

bool PlayableFormat(const WaveFormat& f) {
  return f.FormatTag == WAVE_FORMAT_PCM && f.Channels == 1 && f.BitsPerSample == 16 &&
         f.SamplesPerSec == 44100 && f.BlockAlign == 2;
}

bool RecordableFormat(const WaveFormat& f) {
  return f.FormatTag == WAVE_FORMAT_PCM && (f.Channels == 1 || f.Channels == 2) &&
         (f.BitsPerSample == 8 || f.BitsPerSample == 16) && f.SamplesPerSec >= 1000 &&
         f.SamplesPerSec <= 192000 && f.BlockAlign == f.Channels * f.BitsPerSample / 8;
}
}  // namespace

class LoopbackCable::Output : public WaveOut {
 public:
  explicit Output(LoopbackCable& c) : cable_(c) {}
  std::string Name() const override { return "loopback"; }
  uint32_t Open(WaveHandle* h, const WaveFormat& fmt, uint32_t flags) override {
    if (!PlayableFormat(fmt)) return WAVERR_BADFORMAT;
    if (flags & WAVE_FORMAT_QUERY) return 0;
    *h = next_++;
    open_.insert(*h);
    return 0;
  }
  uint32_t Prepare(WaveHandle h, WaveHeader* hdr, uint32_t) override {
    if (!open_.count(h)) return MMSYSERR_INVALHANDLE;
    hdr->Flags.fetch_or(WHDR_PREPARED);
    return 0;
  }
  uint32_t Unprepare(WaveHandle h, WaveHeader* hdr, uint32_t) override {
    if (!open_.count(h)) return MMSYSERR_INVALHANDLE;
    if (cable_.playingHandle_ == h && cable_.playing_.Data == hdr->Data) return WAVERR_STILLPLAYING;
    hdr->Flags.fetch_and(~WHDR_PREPARED);
    return 0;
  }
  uint32_t Write(WaveHandle h, WaveHeader* hdr, uint32_t) override {
    if (!open_.count(h)) return MMSYSERR_INVALHANDLE;
    if (!(hdr->Flags.load() & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    cable_.Advance(cable_.platform_.NowUs());
    cable_.playing_ = {hdr->Data, hdr->BufferLength & ~1u, cable_.platform_.NowUs()};
    cable_.playingHandle_ = h;
    hdr->Flags.fetch_and(~WHDR_DONE);
    hdr->Flags.fetch_or(WHDR_INQUEUE);
    playingHeader_ = hdr;
    return 0;
  }
  uint32_t Reset(WaveHandle h) override {
    if (!open_.count(h)) return MMSYSERR_INVALHANDLE;
    if (cable_.playingHandle_ == h) {
      cable_.Advance(cable_.platform_.NowUs());
      cable_.playing_ = {};
      cable_.playingHandle_ = 0;
      if (playingHeader_) {
        playingHeader_->Flags.fetch_and(~WHDR_INQUEUE);
        playingHeader_->Flags.fetch_or(WHDR_DONE);
        playingHeader_ = nullptr;
      }
    }
    return 0;
  }
  uint32_t Close(WaveHandle h) override {
    if (!open_.count(h)) return MMSYSERR_INVALHANDLE;
    if (cable_.playingHandle_ == h) return WAVERR_STILLPLAYING;
    open_.erase(h);
    return 0;
  }

 private:
  LoopbackCable& cable_;
  WaveHandle next_ = 1;
  std::set<WaveHandle> open_;
  WaveHeader* playingHeader_ = nullptr;
};

class LoopbackCable::Input : public WaveIn {
 public:
  explicit Input(LoopbackCable& c) : cable_(c) {}
  std::string Name() const override { return "loopback"; }
  uint32_t Open(WaveHandle* h, const WaveFormat& fmt, uint32_t flags) override {
    if (!RecordableFormat(fmt)) return WAVERR_BADFORMAT;
    if (flags & WAVE_FORMAT_QUERY) return 0;
    if (cable_.rec_.Open) return MMSYSERR_ALLOCATED;
    cable_.rec_ = Recording{};
    cable_.rec_.Open = true;
    cable_.rec_.Format = fmt;
    *h = handle_;
    return 0;
  }
  uint32_t Prepare(WaveHandle h, WaveHeader* hdr, uint32_t) override {
    if (!Valid(h)) return MMSYSERR_INVALHANDLE;
    hdr->Flags.fetch_or(WHDR_PREPARED);
    return 0;
  }
  uint32_t Unprepare(WaveHandle h, WaveHeader* hdr, uint32_t) override {
    // A header that is not prepared needs nothing from the device: this
    // succeeds even after the device was shut down under a waiting loop.
    if (!(hdr->Flags.load() & WHDR_PREPARED)) return 0;
    if (!Valid(h)) return MMSYSERR_INVALHANDLE;
    if (hdr->Flags.load() & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    hdr->Flags.fetch_and(~WHDR_PREPARED);
    return 0;
  }
  uint32_t AddBuffer(WaveHandle h, WaveHeader* hdr, uint32_t) override {
    if (!Valid(h)) return MMSYSERR_INVALHANDLE;
    if (!(hdr->Flags.load() & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (hdr->BufferLength == 0 || hdr->Data == nullptr) return MMSYSERR_INVALPARAM;
    cable_.Advance(cable_.platform_.NowUs());
    hdr->Flags.fetch_and(~WHDR_DONE);
    hdr->Flags.fetch_or(WHDR_INQUEUE);
    hdr->BytesRecorded.store(0);
    cable_.rec_.Queue.push_back(hdr);
    return 0;
  }
  uint32_t Start(WaveHandle h) override {
    if (!Valid(h)) return MMSYSERR_INVALHANDLE;
    if (!cable_.rec_.Started) {
      cable_.rec_.Started = true;
      cable_.rec_.StartUs = cable_.platform_.NowUs();
      cable_.rec_.FramesDone = 0;
      cable_.rec_.BytesStored = 0;
    }
    return 0;
  }
  uint32_t GetPosition(WaveHandle h, WaveTime* t, uint32_t) override {
    if (!Valid(h)) return MMSYSERR_INVALHANDLE;
    cable_.platform_.PollingDevice();
    cable_.Advance(cable_.platform_.NowUs());
    t->Type = TIME_BYTES;
    t->Bytes = cable_.rec_.BytesStored;
    return 0;
  }
  uint32_t Reset(WaveHandle h) override {
    if (!Valid(h)) return MMSYSERR_INVALHANDLE;
    cable_.Advance(cable_.platform_.NowUs());
    for (WaveHeader* hdr : cable_.rec_.Queue) {
      hdr->Flags.fetch_and(~WHDR_INQUEUE);
      hdr->Flags.fetch_or(WHDR_DONE);
    }
    cable_.rec_.Queue.clear();
    cable_.rec_.Started = false;
    cable_.rec_.BytesStored = 0;
    return 0;
  }
  uint32_t Close(WaveHandle h) override {
    if (!Valid(h)) return MMSYSERR_INVALHANDLE;
    if (!cable_.rec_.Queue.empty()) return WAVERR_STILLPLAYING;
    cable_.rec_.Open = false;
    return 0;
  }
  uint64_t Overruns() const override { return cable_.overruns_; }

 private:
  bool Valid(WaveHandle h) const { return cable_.rec_.Open && h == handle_; }
  LoopbackCable& cable_;
  WaveHandle handle_ = 1;
};

LoopbackCable::LoopbackCable(Platform& platform, LoopbackOptions options)
    : platform_(platform), options_(options) {
  out_ = std::make_unique<Output>(*this);
  in_ = std::make_unique<Input>(*this);
  platform_.AddTicker([this](int64_t now) { Advance(now); }, [this] { return NextEventUs(); });
}

LoopbackCable::~LoopbackCable() = default;

double LoopbackCable::OutputSampleAt(int64_t timeUs) const {
  if (!playing_.Data || timeUs < playing_.StartUs) return 0.0;
  return OutputAtPosition(static_cast<double>(timeUs - playing_.StartUs) * kOutputRate / 1e6);
}

double LoopbackCable::OutputAtPosition(double position) const {
  if (!playing_.Data || playing_.Bytes < 2 || position < 0) return 0.0;
  const int64_t frames = playing_.Bytes / 2;
  const auto whole = static_cast<int64_t>(std::floor(position));
  const double frac = position - static_cast<double>(whole);
  auto at = [&](int64_t i) {
    const uint8_t* p = playing_.Data + 2 * (i % frames);
    return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8))));
  };
  return at(whole) * (1.0 - frac) + at(whole + 1) * frac;
}

int16_t LoopbackCable::CaptureValue(int64_t frame, int channel) {
  // The output position of a recorded frame, kept exact in the sample
  // domain so that resampling adds no timing jitter.
  double v = 0.0;
  if (playing_.Data) {
    const double position =
        static_cast<double>(rec_.StartUs - playing_.StartUs) * kOutputRate / 1e6 +
        static_cast<double>(frame) * kOutputRate / rec_.Format.SamplesPerSec;
    v = OutputAtPosition(position);
  }
  v *= options_.Gain * (channel == 1 ? options_.RightGain : 1.0);
  if (options_.NoiseAmplitude > 0) {
    rec_.Noise = rec_.Noise * 1103515245u + 12345u;
    const int r = static_cast<int>((rec_.Noise >> 16) % (2u * options_.NoiseAmplitude + 1u));
    v += r - options_.NoiseAmplitude;
  }
  return static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

void LoopbackCable::Record(int64_t nowUs) {
  if (!rec_.Open || !rec_.Started) return;
  if (stalled_) {
    // Time passes but nothing arrives: restart the count from now.
    rec_.StartUs = nowUs - rec_.FramesDone * 1'000'000 / rec_.Format.SamplesPerSec;
    return;
  }
  const int64_t due = (nowUs - rec_.StartUs) * rec_.Format.SamplesPerSec / 1'000'000;
  const int bytesPerValue = rec_.Format.BitsPerSample / 8;
  const int channels = rec_.Format.Channels;
  while (rec_.FramesDone < due) {
    if (rec_.Queue.empty()) {
      // No buffer queued: the recording runs on and these frames are lost.
      ++overruns_;
      rec_.FramesDone = due;
      break;
    }
    WaveHeader* hdr = rec_.Queue.front();
    uint32_t filled = hdr->BytesRecorded.load();
    while (rec_.FramesDone < due && filled + rec_.Format.BlockAlign <= hdr->BufferLength) {
      for (int ch = 0; ch < channels; ++ch) {
        const int16_t s = CaptureValue(rec_.FramesDone, ch);
        uint8_t* p = hdr->Data + filled;
        if (bytesPerValue == 2) {
          p[0] = static_cast<uint8_t>(s & 0xFF);
          p[1] = static_cast<uint8_t>((static_cast<uint16_t>(s) >> 8) & 0xFF);
        } else {
          p[0] = static_cast<uint8_t>((s >> 8) + 128);
        }
        filled += bytesPerValue;
      }
      ++rec_.FramesDone;
      rec_.BytesStored += rec_.Format.BlockAlign;
    }
    hdr->BytesRecorded.store(filled);
    if (filled + rec_.Format.BlockAlign > hdr->BufferLength) {
      hdr->Flags.fetch_and(~WHDR_INQUEUE);
      hdr->Flags.fetch_or(WHDR_DONE, std::memory_order_release);
      rec_.Queue.pop_front();
      ++filled_;
    }
  }
}

void LoopbackCable::Advance(int64_t nowUs) { Record(nowUs); }

int64_t LoopbackCable::NextEventUs() const {
  if (!rec_.Open || !rec_.Started || stalled_ || rec_.Queue.empty()) return Platform::kNoEvent;
  const WaveHeader* hdr = rec_.Queue.front();
  const int64_t align = rec_.Format.BlockAlign;
  const int64_t missing = (hdr->BufferLength - hdr->BytesRecorded.load()) / align;
  // Record fills frame f once (now - start) * rate / 1e6 >= f + 1.
  const int64_t frames = rec_.FramesDone + std::max<int64_t>(missing, 1);
  const int64_t rate = rec_.Format.SamplesPerSec;
  return rec_.StartUs + (frames * 1'000'000 + rate - 1) / rate;
}

}  // namespace zorvane

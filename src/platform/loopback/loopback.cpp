// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/loopback/loopback.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "platform/wave_handles.h"

namespace zorvane {

namespace {
constexpr int64_t kOutputRate = 44100;
// A full-scale sample of the line.
constexpr double kFullScale = 32767.0;

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
    return PrepareHeader(open_.count(h) != 0, hdr);
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
    return PrepareHeader(Valid(h), hdr);
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
    if (!cable_.rec_.Started) cable_.StartRecording(cable_.platform_.NowUs());
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
    cable_.resampler_.reset();
    return 0;
  }
  uint32_t Close(WaveHandle h) override {
    if (!Valid(h)) return MMSYSERR_INVALHANDLE;
    if (!cable_.rec_.Queue.empty()) return WAVERR_STILLPLAYING;
    cable_.rec_.Open = false;
    cable_.resampler_.reset();
    return 0;
  }
  uint64_t Overruns() const override { return cable_.overruns_; }

 private:
  bool Valid(WaveHandle h) const { return cable_.rec_.Open && h == handle_; }
  LoopbackCable& cable_;
  WaveHandle handle_ = 1;
};

// libsamplerate's converter, made when a recording starts.
struct LoopbackCable::Resampler {
  explicit Resampler(double ratio) : Ratio(ratio) {
    int error = 0;
    State = src_new(SRC_SINC_MEDIUM_QUALITY, 1, &error);
  }
  ~Resampler() {
    if (State) src_delete(State);
  }
  Resampler(const Resampler&) = delete;
  Resampler& operator=(const Resampler&) = delete;
  SRC_STATE* State = nullptr;
  double Ratio;
};

namespace {

// The cable stands for an analog device, whose low- and high-pass sections
// keep their response up to the top of the band. The bilinear designs of
// the equalizer cookbook squeeze that response into half the sample rate (a
// 5 kHz low-pass reads -50 dB at 20 kHz where the analog one reads -24 dB),
// so these two are matched to the analog prototype instead: poles by
// impulse invariance, zeros chosen so that the magnitude equals the
// prototype's at chosen frequencies. |H|^2 of a section is written as
// (B0 p0 + B1 p1 + B2 p2) / (A0 p0 + A1 p1 + A2 p2) with p1 = sin^2(w/2),
// p0 = 1 - p1, p2 = 4 p0 p1.
struct Poles {
  double A1, A2;
  double P0, P1, P2;  // p0, p1, p2 at the corner
  double Den;         // A0 p0 + A1 p1 + A2 p2 at the corner
  double BigA0, BigA1, BigA2;
};

Poles MatchedPoles(double hz, double q, double rate) {
  const double w0 = 2.0 * M_PI * hz / rate, d = 1.0 / (2.0 * q);
  Poles p{};
  p.A1 = d <= 1.0 ? -2.0 * std::exp(-d * w0) * std::cos(std::sqrt(1.0 - d * d) * w0)
                  : -2.0 * std::exp(-d * w0) * std::cosh(std::sqrt(d * d - 1.0) * w0);
  p.A2 = std::exp(-2.0 * d * w0);
  p.BigA0 = (1.0 + p.A1 + p.A2) * (1.0 + p.A1 + p.A2);
  p.BigA1 = (1.0 - p.A1 + p.A2) * (1.0 - p.A1 + p.A2);
  p.BigA2 = -4.0 * p.A2;
  const double s = std::sin(w0 / 2.0);
  p.P1 = s * s;
  p.P0 = 1.0 - p.P1;
  p.P2 = 4.0 * p.P0 * p.P1;
  p.Den = p.BigA0 * p.P0 + p.BigA1 * p.P1 + p.BigA2 * p.P2;
  return p;
}

// Low-pass: the prototype's magnitude at zero, at the corner and at 0.9 of
// half the rate (within about 0.4 dB of it up to 20 kHz for corners below
// 15 kHz).
BiquadCoefficients MatchedLowPass(double hz, double q, double rate) {
  const Poles p = MatchedPoles(hz, q, rate);
  auto analog = [hz, q](double f) {  // |1 / (s^2 + s/q + 1)|^2 at s = j f / hz
    const double x = f / hz, re = 1.0 - x * x, im = x / q;
    return 1.0 / (re * re + im * im);
  };
  const double fm = 0.45 * rate, sm = std::sin(M_PI * fm / rate);
  const double m1 = sm * sm, m0 = 1.0 - m1, m2 = 4.0 * m0 * m1;
  const double B0 = p.BigA0;
  const double r1 = analog(hz) * p.Den - B0 * p.P0;
  const double r2 = analog(fm) * (p.BigA0 * m0 + p.BigA1 * m1 + p.BigA2 * m2) - B0 * m0;
  const double det = p.P1 * m2 - p.P2 * m1;
  const double B1 = std::max(0.0, (r1 * m2 - p.P2 * r2) / det);
  const double B2 = (p.P1 * r2 - r1 * m1) / det;
  const double w = 0.5 * (std::sqrt(B0) + std::sqrt(B1));
  const double b0 = 0.5 * (w + std::sqrt(std::max(0.0, w * w + B2)));
  return {b0, 0.5 * (std::sqrt(B0) - std::sqrt(B1)), -B2 / (4.0 * b0), p.A1, p.A2};
}

// High-pass: a double zero at zero frequency, the prototype's magnitude at
// the corner.
BiquadCoefficients MatchedHighPass(double hz, double q, double rate) {
  const Poles p = MatchedPoles(hz, q, rate);
  const double b0 = q * std::sqrt(std::max(0.0, p.Den)) / (4.0 * p.P1);
  return {b0, -2.0 * b0, b0, p.A1, p.A2};
}

}  // namespace

BiquadCoefficients DesignBiquad(const LoopbackFilter& f, double rate) {
  if (f.Kind == LoopbackFilter::Type::Delay || f.Kind == LoopbackFilter::Type::Poly) return {};
  // Corners far below a hertz all act alike; below about 1e-60 Hz the matched
  // designs' arithmetic leaves the range of a double, so they stop at 1e-6 Hz.
  const double hz = std::max(f.Hz, 1e-6);
  if (f.Kind == LoopbackFilter::Type::LowPass) return MatchedLowPass(hz, f.Q, rate);
  if (f.Kind == LoopbackFilter::Type::HighPass) return MatchedHighPass(hz, f.Q, rate);
  // The peaking section of the cookbook: its bilinear form follows the
  // analog one closely below a quarter of the rate.
  const double w0 = 2.0 * M_PI * f.Hz / rate;
  const double cw = std::cos(w0), alpha = std::sin(w0) / (2.0 * f.Q);
  const double a = std::pow(10.0, f.Db / 40.0);
  const double b0 = 1.0 + alpha * a, b1 = -2.0 * cw, b2 = 1.0 - alpha * a;
  const double a0 = 1.0 + alpha / a, a1 = -2.0 * cw, a2 = 1.0 - alpha / a;
  return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

// The duplex run: its own buffers, played into the line and recorded from
// it at the same line sample, so the recording lags the playing by exactly
// what the device under test delays.
class LoopbackCable::Duplex : public FullDuplex {
 public:
  explicit Duplex(LoopbackCable& c) : cable_(c) {}
  std::string Name() const override { return "loopback"; }
  bool Open(uint32_t rate, std::string& error) override {
    Close();
    if (rate != kOutputRate) {
      error = "the built-in loopback runs at 44100 Hz only, not " + std::to_string(rate) + " Hz";
      return false;
    }
    open_ = true;
    return true;
  }
  size_t LatencyFrames() const override { return 0; }
  bool Start(const float* play, size_t playFrames, float* record, size_t recordFrames,
             std::string& error) override {
    if (!open_ || Active) {
      error = open_ ? "the loopback is already playing a run" : "the loopback is not open";
      return false;
    }
    cable_.Advance(cable_.platform_.NowUs());
    if (cable_.line_.empty()) cable_.line_.assign(kLineRing, 0.0f);
    if (cable_.sections_.empty()) {
      // Without filters the line holds nothing but this run: start it now.
      const int64_t now = cable_.platform_.NowUs();
      cable_.lineEnd_ = std::max(cable_.lineEnd_, now < 0 ? 0 : now * kOutputRate / 1'000'000 + 1);
    }
    Play = play, PlayFrames = playFrames, Record = record, RecordFrames = recordFrames;
    First = cable_.lineEnd_;
    recorded_ = 0;
    Noise = 12345u + 7919u * ++runs_;
    Active = recordFrames > 0;
    return true;
  }
  size_t Recorded() const override { return recorded_; }
  std::string Failure() const override { return ""; }
  void Close() override {
    Active = false;
    open_ = false;
  }
  double PlayAt(int64_t a) const {
    const int64_t i = a - First;
    return Active && i >= 0 && i < static_cast<int64_t>(PlayFrames)
               ? static_cast<double>(Play[i]) * kFullScale
               : 0.0;
  }

  const float* Play = nullptr;
  size_t PlayFrames = 0;
  float* Record = nullptr;
  size_t RecordFrames = 0;
  int64_t First = 0;  // the line sample of play[0] and record[0]
  size_t recorded_ = 0;
  bool Active = false;
  uint32_t Noise = 0;

 private:
  LoopbackCable& cable_;
  bool open_ = false;
  uint32_t runs_ = 0;
};

FullDuplex& LoopbackCable::Duplexer() { return *duplex_; }

void LoopbackCable::TakeDuplex() {
  Duplex& d = *duplex_;
  if (!d.Active || stalled_) return;
  while (d.recorded_ < d.RecordFrames) {
    const int64_t a = d.First + static_cast<int64_t>(d.recorded_);
    if (a >= lineEnd_) return;
    double v = LineSample(a) * options_.Gain;
    if (options_.NoiseRms > 0.0) {
      d.Noise = d.Noise * 1103515245u + 12345u;
      const double u = static_cast<double>(d.Noise >> 8) / 16777216.0;
      v += (2.0 * u - 1.0) * std::sqrt(3.0) * options_.NoiseRms;
    }
    // Recorded in 16 bits, as the input device records.
    const long q = std::clamp(std::lround(v), -32768L, 32767L);
    d.Record[d.recorded_++] = static_cast<float>(q / kFullScale);
  }
  d.Active = false;
}

LoopbackCable::LoopbackCable(Platform& platform, LoopbackOptions options)
    : platform_(platform), options_(std::move(options)) {
  for (const LoopbackFilter& f : options_.Filters) {
    Section q;
    q.C = DesignBiquad(f, kOutputRate);
    q.Kind = f.Kind;
    q.A2 = f.A2, q.A3 = f.A3;
    if (f.Kind == LoopbackFilter::Type::Delay)
      q.Delayed.assign(static_cast<size_t>(std::llround(f.Ms * kOutputRate / 1000.0)), 0.0);
    sections_.push_back(std::move(q));
  }
  if (!sections_.empty()) line_.assign(kLineRing, 0.0f);
  out_ = std::make_unique<Output>(*this);
  in_ = std::make_unique<Input>(*this);
  duplex_ = std::make_unique<Duplex>(*this);
  ticker_ =
      platform_.AddTicker([this](int64_t now) { Advance(now); }, [this] { return NextEventUs(); });
}

LoopbackCable::~LoopbackCable() { platform_.RemoveTicker(ticker_); }

double LoopbackCable::LoopSample(int64_t position) const {
  if (!playing_.Data || playing_.Bytes < 2 || position < 0) return 0.0;
  const int64_t frames = playing_.Bytes / 2;
  const uint8_t* p = playing_.Data + 2 * (position % frames);
  return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8))));
}

// The loop is played sample by sample at 44,100 Hz from its start; a time
// between two samples takes the nearer one (at most 11 microseconds off),
// which keeps the signal's spectrum untouched.
double LoopbackCable::OutputSampleAt(int64_t timeUs) const {
  if (!playing_.Data || timeUs < playing_.StartUs) return 0.0;
  return LoopSample(
      std::llround(static_cast<double>(timeUs - playing_.StartUs) * kOutputRate / 1e6));
}

double LoopbackCable::InputSample(int64_t j) const {
  if (!sections_.empty()) {
    // The filtered line at the sample nearest to the input sample's time.
    const double absolute = static_cast<double>(rec_.StartUs) * kOutputRate / 1e6 +
                            (static_cast<double>(j) - rec_.PreRoll);
    return LineSample(std::llround(absolute)) * options_.Gain;
  }
  if (!playing_.Data) return 0.0;
  const double position = static_cast<double>(rec_.StartUs - playing_.StartUs) * kOutputRate / 1e6 +
                          (static_cast<double>(j) - rec_.PreRoll);
  return LoopSample(std::llround(position)) * options_.Gain;
}

double LoopbackCable::LineSample(int64_t a) const {
  if (a < 0 || a >= lineEnd_ || a < lineEnd_ - kLineRing) return 0.0;
  return line_[static_cast<size_t>(a % kLineRing)];
}

void LoopbackCable::AdvanceLine(int64_t nowUs) {
  const bool duplex = duplex_ && duplex_->Active;
  if (sections_.empty() && !duplex) return;
  // Samples whose time has come: sample a sounds at a / 44,100 s.
  const int64_t end = nowUs < 0 ? 0 : nowUs * kOutputRate / 1'000'000 + 1;
  if (end <= lineEnd_) return;
  auto quiet = [this] {
    for (const Section& q : sections_)
      if (!q.Quiet()) return false;
    return true;
  };
  if (!playing_.Data && !duplex && quiet()) {
    // Silence in, silence out: skip ahead without running the filters.
    for (Section& q : sections_) q.Z1 = q.Z2 = 0.0;
    for (int64_t a = std::max(lineEnd_, end - kLineRing); a < end; ++a)
      line_[static_cast<size_t>(a % kLineRing)] = 0.0f;
    lineEnd_ = end;
    return;
  }
  const double startPosition = static_cast<double>(playing_.StartUs) * kOutputRate / 1e6;
  for (int64_t a = lineEnd_; a < end; ++a) {
    double v =
        playing_.Data ? LoopSample(std::llround(static_cast<double>(a) - startPosition)) : 0.0;
    if (duplex) v += duplex_->PlayAt(a);
    for (Section& q : sections_) v = q.Step(v);
    line_[static_cast<size_t>(a % kLineRing)] = static_cast<float>(v);
  }
  lineEnd_ = end;
}

void LoopbackCable::StartRecording(int64_t nowUs) {
  rec_.Started = true;
  rec_.StartUs = nowUs;
  rec_.InputFed = 0;
  rec_.BytesStored = 0;
  rec_.PreRoll = 0.0;
  rec_.DiscardFrames = 0;
  resampler_.reset();
  const uint32_t rate = rec_.Format.SamplesPerSec;
  if (rate == kOutputRate) return;
  auto r = std::make_unique<Resampler>(static_cast<double>(rate) / kOutputRate);
  if (!r->State) return;  // out of memory: the cable records silence
  // Ten milliseconds of the signal before the start fill the converter's
  // history, so the recording starts on the signal, not on a step from
  // silence. The pre-roll is a whole number of output frames; the input
  // positions are shifted by the matching (fractional) number of input
  // samples, so frame k is the signal at exactly StartUs + k / rate.
  rec_.DiscardFrames = std::max<int64_t>(1, rate / 100);
  rec_.PreRoll = static_cast<double>(rec_.DiscardFrames) * kOutputRate / rate;
  resampler_ = std::move(r);
}

int16_t LoopbackCable::CaptureValue(double v, int channel) {
  if (channel == 1) v *= options_.RightGain;
  if (options_.NoiseRms > 0.0) {
    // Uniform white noise of the chosen RMS: its peak is sqrt(3) times that.
    rec_.Noise = rec_.Noise * 1103515245u + 12345u;
    const double u = static_cast<double>(rec_.Noise >> 8) / 16777216.0;  // 0 .. 1
    v += (2.0 * u - 1.0) * std::sqrt(3.0) * options_.NoiseRms;
  }
  // Clipped at full scale before rounding (a value beyond a long's range
  // cannot be rounded); a value that is no number is silence.
  if (std::isnan(v)) v = 0.0;
  return static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
}

bool LoopbackCable::Deliver(const float* frames, long count) {
  const int bytesPerValue = rec_.Format.BitsPerSample / 8;
  const int channels = rec_.Format.Channels;
  bool lost = false;
  for (long k = 0; k < count; ++k) {
    if (rec_.DiscardFrames > 0) {
      --rec_.DiscardFrames;
      continue;
    }
    if (rec_.Queue.empty()) {
      // No buffer queued: the recording runs on and this frame is lost.
      lost = true;
      continue;
    }
    WaveHeader* hdr = rec_.Queue.front();
    uint32_t filled = hdr->BytesRecorded.load();
    for (int ch = 0; ch < channels; ++ch) {
      const int16_t s = CaptureValue(frames[k], ch);
      uint8_t* p = hdr->Data + filled;
      if (bytesPerValue == 2) {
        p[0] = static_cast<uint8_t>(s & 0xFF);
        p[1] = static_cast<uint8_t>((static_cast<uint16_t>(s) >> 8) & 0xFF);
      } else {
        p[0] = static_cast<uint8_t>((s >> 8) + 128);
      }
      filled += bytesPerValue;
    }
    rec_.BytesStored += rec_.Format.BlockAlign;
    hdr->BytesRecorded.store(filled);
    if (filled + rec_.Format.BlockAlign > hdr->BufferLength) {
      hdr->Flags.fetch_and(~WHDR_INQUEUE);
      hdr->Flags.fetch_or(WHDR_DONE, std::memory_order_release);
      rec_.Queue.pop_front();
      ++filled_;
    }
  }
  return lost;
}

void LoopbackCable::Record(int64_t nowUs) {
  if (!rec_.Open || !rec_.Started) return;
  if (stalled_) {
    // Time passes but nothing arrives: restart the count from now.
    rec_.StartUs =
        nowUs - static_cast<int64_t>((static_cast<double>(rec_.InputFed) - rec_.PreRoll) * 1e6 /
                                     kOutputRate);
    return;
  }
  // Input samples whose time has come.
  const int64_t due = static_cast<int64_t>(
      std::floor(static_cast<double>(nowUs - rec_.StartUs) * kOutputRate / 1e6 + rec_.PreRoll));
  bool lost = false;
  while (rec_.InputFed < due) {
    const long n = static_cast<long>(std::min<int64_t>(due - rec_.InputFed, kChunk));
    for (long j = 0; j < n; ++j)
      inputChunk_[j] = static_cast<float>(InputSample(rec_.InputFed + j));
    rec_.InputFed += n;
    if (!resampler_) {
      lost |= Deliver(inputChunk_.data(), n);
      continue;
    }
    long used = 0;
    while (used < n) {
      SRC_DATA d{};
      d.data_in = inputChunk_.data() + used;
      d.input_frames = n - used;
      d.data_out = outputChunk_.data();
      d.output_frames = static_cast<long>(outputChunk_.size());
      d.src_ratio = resampler_->Ratio;
      if (src_process(resampler_->State, &d) != 0) break;
      used += d.input_frames_used;
      lost |= Deliver(outputChunk_.data(), d.output_frames_gen);
      if (d.input_frames_used == 0 && d.output_frames_gen == 0) break;
    }
  }
  if (lost) ++overruns_;
}

void LoopbackCable::Advance(int64_t nowUs) {
  if (duplex_->Active) {
    // A duplex run takes every line sample: a long step of the clock is
    // taken in pieces shorter than the line's ring.
    const int64_t end = nowUs * kOutputRate / 1'000'000 + 1;
    while (duplex_->Active && end - lineEnd_ > kLineRing / 2) {
      AdvanceLine((lineEnd_ + kLineRing / 2) * 1'000'000 / kOutputRate);
      TakeDuplex();
    }
  }
  AdvanceLine(nowUs);
  TakeDuplex();
  Record(nowUs);
}

int64_t LoopbackCable::NextEventUs() const {
  if (duplex_->Active && !stalled_) {
    // The duplex run's end, or its next piece.
    const int64_t last = duplex_->First + static_cast<int64_t>(duplex_->RecordFrames);
    const int64_t piece = std::min(last, lineEnd_ + kLineRing / 2);
    return std::max(platform_.NowUs() + 1, piece * 1'000'000 / kOutputRate + 1);
  }
  if (!rec_.Open || !rec_.Started || stalled_ || rec_.Queue.empty()) return Platform::kNoEvent;
  const WaveHeader* hdr = rec_.Queue.front();
  const int64_t align = rec_.Format.BlockAlign;
  const int64_t missing =
      std::max<int64_t>((hdr->BufferLength - hdr->BytesRecorded.load()) / align, 1);
  // The frames still missing take at least their own duration to arrive
  // (the converter never runs ahead of time); a wait that ends a little
  // early asks again for the few frames left.
  const int64_t rate = rec_.Format.SamplesPerSec;
  return platform_.NowUs() + (missing * 1'000'000 + rate - 1) / rate;
}

}  // namespace zorvane

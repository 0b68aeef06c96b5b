// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in virtual cable: what the output device plays is what the input
// device records, converted from 44,100 Hz to the capture rate by a
// band-limited resampler (libsamplerate), with silence when nothing plays.
// Between the two it can simulate a device under test: a gain and a chain of
// second-order filters on the 44,100 Hz line, and a deterministic noise floor
// added at the input. It is driven by the platform clock (advanced whenever
// the platform pumps messages, sleeps or a device is polled), so on a virtual
// clock every run gives the same samples.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "platform/duplex.h"
#include "platform/platform.h"
#include "platform/wave.h"

namespace zorvane {

// One stage of the simulated device under test: a second-order section, a
// pure delay or a memoryless polynomial.
struct LoopbackFilter {
  enum class Type { LowPass, HighPass, Peak, Delay, Poly };
  Type Kind = Type::LowPass;
  double Hz = 1000.0;  // corner or centre frequency
  double Q = 0.70710678118654752;
  double Db = 0.0;  // gain at the centre (Peak only)
  // Delay: milliseconds, rounded to whole samples of the 44,100 Hz line.
  double Ms = 0.0;
  // Poly: y = x + A2 x^2 + A3 x^3, x in full scale (a full-scale sine has
  // amplitude 1); a sine of amplitude A gets a second harmonic of A2 A^2 / 2
  // and a third of A3 A^3 / 4.
  double A2 = 0.0, A3 = 0.0;
};

struct LoopbackOptions {
  // RMS of the white noise added to every recorded sample, in sample units
  // (0: none).
  double NoiseRms = 0.0;
  // Gain of the simulated device under test between output and input.
  double Gain = 1.0;
  // Its filters, applied in order to the line at 44,100 Hz.
  std::vector<LoopbackFilter> Filters;
  // The right channel of a stereo recording carries the signal at this gain,
  // so that the channels can be told apart.
  double RightGain = 0.5;
};

// Normalised coefficients of a section at a sample rate: low- and high-pass
// matched to their analog prototypes, the peaking section as the
// audio-equalizer cookbook has it. y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2.
struct BiquadCoefficients {
  double B0 = 1, B1 = 0, B2 = 0, A1 = 0, A2 = 0;
};
BiquadCoefficients DesignBiquad(const LoopbackFilter& filter, double sampleRate);

class LoopbackCable {
 public:
  class Duplex;
  LoopbackCable(Platform& platform, LoopbackOptions options = {});
  ~LoopbackCable();
  WaveOut& Out() { return *out_; }
  WaveIn& In() { return *in_; }
  // Plays a buffer once while recording the line at 44,100 Hz, sample-locked
  // (see platform/duplex.h); the input device keeps working beside it.
  FullDuplex& Duplexer();
  // Moves both devices up to the given time.
  void Advance(int64_t nowUs);
  // When the buffer being recorded will be full (Platform::kNoEvent when
  // nothing records).
  int64_t NextEventUs() const;
  // The output sample playing at a time (0 when nothing plays).
  double OutputSampleAt(int64_t timeUs) const;
  bool OutputPlaying() const { return playing_.Data != nullptr; }
  uint32_t PlayingLoopBytes() const { return playing_.Bytes; }
  const uint8_t* PlayingData() const { return playing_.Data; }
  uint64_t Overruns() const { return overruns_; }
  bool InputOpen() const { return rec_.Open; }
  // Buffers the input side has filled since the cable was made.
  uint64_t BuffersFilled() const { return filled_; }
  // A stalled input records nothing (a device that stops delivering).
  void SetInputStalled(bool stalled) { stalled_ = stalled; }

  class Output;
  class Input;

 private:
  friend class Output;
  friend class Input;
  struct Playing {
    const uint8_t* Data = nullptr;
    uint32_t Bytes = 0;
    int64_t StartUs = 0;
  };
  struct Recording {
    bool Open = false;
    bool Started = false;
    WaveFormat Format;
    int64_t StartUs = 0;
    // Input side: the cable's signal at 44,100 Hz. Sample j is taken at
    // StartUs + (j - PreRoll) / 44,100 s; the first PreRoll samples lie before
    // the start and only fill the resampler's history.
    int64_t InputFed = 0;
    double PreRoll = 0.0;
    int64_t DiscardFrames = 0;  // resampled frames that belong before the start
    uint32_t BytesStored = 0;   // bytes delivered into buffers (the position)
    std::deque<WaveHeader*> Queue;
    uint32_t Noise = 12345;
  };
  struct Resampler;
  void StartRecording(int64_t nowUs);
  void Record(int64_t nowUs);
  // The signal entering the input at input sample j (44,100 Hz).
  double InputSample(int64_t j) const;
  // Hands count resampled frames to the queued buffers; true when some were
  // lost for want of a buffer.
  bool Deliver(const float* frames, long count);
  int16_t CaptureValue(double v, int channel);
  double LoopSample(int64_t position) const;
  // The line through the filters: every 44,100 Hz sample from the cable's
  // start up to the given time, so the filters see a tone from the moment it
  // plays, whether or not the input records.
  void AdvanceLine(int64_t nowUs);
  double LineSample(int64_t absolute) const;

  Platform& platform_;
  int ticker_ = 0;
  LoopbackOptions options_;
  Playing playing_;
  WaveHandle playingHandle_ = 0;
  Recording rec_;
  uint64_t overruns_ = 0;
  uint64_t filled_ = 0;
  bool stalled_ = false;
  std::unique_ptr<Resampler> resampler_;  // none when the capture rate is 44,100 Hz
  static constexpr int kChunk = 256;
  std::array<float, kChunk> inputChunk_{};
  std::array<float, kChunk * 5 + 16> outputChunk_{};  // up to 192 kHz from 44.1 kHz
  // The filtered line (only with filters): sections in transposed direct
  // form II, and a ring of the most recent filtered samples.
  struct Section {
    BiquadCoefficients C;
    double Z1 = 0, Z2 = 0;
    LoopbackFilter::Type Kind = LoopbackFilter::Type::LowPass;
    double A2 = 0, A3 = 0;          // Poly
    std::vector<double> Delayed;   // Delay: the ring of the last samples
    size_t At = 0;                 // where the next sample goes in the ring
    size_t SinceSound = SIZE_MAX;  // samples since a non-zero one entered
    double Step(double v);
    bool Quiet() const;
  };
  std::vector<Section> sections_;
  static constexpr int64_t kLineRing = 16384;
  std::vector<float> line_;
  int64_t lineEnd_ = 0;  // absolute samples filtered so far: 0 .. lineEnd_ - 1
  std::unique_ptr<WaveOut> out_;
  std::unique_ptr<WaveIn> in_;
  std::unique_ptr<Duplex> duplex_;
  // Line samples of a duplex run taken into its recording.
  void TakeDuplex();
};

}  // namespace zorvane

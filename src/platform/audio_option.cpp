// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio_option.h"

#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

namespace zorvane {

namespace {

constexpr double kLineNyquist = 22050.0;
constexpr size_t kMaxFilters = 64;
constexpr int kLowestGainDb = -120, kHighestGainDb = 60;
// RMS of a full-scale sine in sample units.
const double kFullScaleSineRms = 32767.0 / std::sqrt(2.0);

// A plain decimal number: sign, digits with at most one point, an optional
// exponent. No hexadecimal, infinities or not-a-numbers.
bool Number(std::string_view text, double& value) {
  if (text.empty() || text.size() > 32) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
      return false;
  const std::string copy(text);
  char* end = nullptr;
  value = std::strtod(copy.c_str(), &end);
  return end == copy.c_str() + copy.size() && std::isfinite(value);
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t from = 0;
  for (;;) {
    const size_t at = text.find(separator, from);
    parts.push_back(
        text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
    if (at == std::string_view::npos) return parts;
    from = at + 1;
  }
}

// One filter of the chain; false with the reason in why.
bool Filter(std::string_view text, LoopbackOptions& cable, std::string& why) {
  const size_t eq = text.find('=');
  auto fail = [&](std::string reason) {
    why = std::move(reason);
    return false;
  };
  if (eq == std::string_view::npos)
    return fail("expected NAME=VALUE (gain, lowpass, highpass, peak, delay, poly or noise)");
  const std::string_view name = text.substr(0, eq);
  const std::vector<std::string_view> args = Split(text.substr(eq + 1), '/');
  std::vector<double> v(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    if (!Number(args[i], v[i])) return fail("'" + std::string(args[i]) + "' is not a number");
  }
  auto frequency = [&](double hz) {
    return (hz > 0.0 && hz < kLineNyquist) || fail("the frequency must lie between 0 and 22050 Hz");
  };
  auto quality = [&](double q) {
    return (q >= 0.01 && q <= 100.0) || fail("Q must lie between 0.01 and 100");
  };
  auto decibels = [&](double db, int lowest, int highest) {
    return (db >= lowest && db <= highest) ||
           fail("the level must lie between " + std::to_string(lowest) + " and " +
                std::to_string(highest) + " dB");
  };
  if (name == "gain") {
    if (v.size() != 1) return fail("gain=DB");
    if (!decibels(v[0], kLowestGainDb, kHighestGainDb)) return false;
    // The gains of a chain add up; their sum has the same bounds as one.
    const double total = 20.0 * std::log10(cable.Gain) + v[0];
    if (total < kLowestGainDb - 1e-9 || total > kHighestGainDb + 1e-9)
      return fail("the gains add up to " + std::to_string(std::lround(total)) +
                  " dB; together they must lie between " + std::to_string(kLowestGainDb) + " and " +
                  std::to_string(kHighestGainDb) + " dB");
    cable.Gain *= std::pow(10.0, v[0] / 20.0);
    return true;
  }
  if (name == "lowpass" || name == "highpass") {
    if (v.size() != 1 && v.size() != 2) return fail(std::string(name) + "=HZ[/Q]");
    LoopbackFilter f;
    f.Kind = name == "lowpass" ? LoopbackFilter::Type::LowPass : LoopbackFilter::Type::HighPass;
    f.Hz = v[0];
    if (v.size() == 2) f.Q = v[1];
    if (!frequency(f.Hz) || !quality(f.Q)) return false;
    cable.Filters.push_back(f);
    return true;
  }
  if (name == "peak") {
    if (v.size() != 3) return fail("peak=HZ/Q/DB");
    LoopbackFilter f;
    f.Kind = LoopbackFilter::Type::Peak;
    f.Hz = v[0], f.Q = v[1], f.Db = v[2];
    if (!frequency(f.Hz) || !quality(f.Q) || !decibels(f.Db, -60, 60)) return false;
    cable.Filters.push_back(f);
    return true;
  }
  if (name == "delay") {
    if (v.size() != 1) return fail("delay=MS");
    if (!(v[0] >= 0.0 && v[0] <= 1000.0)) return fail("the delay must lie between 0 and 1000 ms");
    LoopbackFilter f;
    f.Kind = LoopbackFilter::Type::Delay;
    f.Ms = v[0];
    cable.Filters.push_back(f);
    return true;
  }
  if (name == "poly") {
    if (v.size() != 2) return fail("poly=A2/A3");
    if (!(std::abs(v[0]) <= 10.0 && std::abs(v[1]) <= 10.0))
      return fail("the coefficients must lie between -10 and 10");
    LoopbackFilter f;
    f.Kind = LoopbackFilter::Type::Poly;
    f.A2 = v[0], f.A3 = v[1];
    cable.Filters.push_back(f);
    return true;
  }
  if (name == "noise") {
    if (v.size() != 1) return fail("noise=DBFS");
    if (!decibels(v[0], -200, 0)) return false;
    cable.NoiseRms = kFullScaleSineRms * std::pow(10.0, v[0] / 20.0);
    return true;
  }
  return fail("unknown filter (gain, lowpass, highpass, peak, delay, poly or noise)");
}

}  // namespace

bool ParseAudioOption(std::string_view text, AudioOption& option, std::string& error) {
  option = AudioOption{};
  if (text == "system" || text == "pulse" || text == "portaudio") {
    option.Choice = AudioOption::Device::System;
    if (text != "system")
      option.Library = text == "pulse" ? SoundLibrary::Pulse : SoundLibrary::PortAudio;
    return true;
  }
  option.Choice = AudioOption::Device::Loopback;
  if (text == "loopback") return true;
  constexpr std::string_view kChain = "loopback:";
  if (text.substr(0, kChain.size()) != kChain) {
    error =
        "--audio must be system, pulse, portaudio, loopback or loopback:FILTER[,FILTER...], "
        "not '" +
        std::string(text) + "'";
    return false;
  }
  const std::vector<std::string_view> filters = Split(text.substr(kChain.size()), ',');
  if (filters.size() > kMaxFilters) {
    error = "--audio: at most " + std::to_string(kMaxFilters) + " filters";
    return false;
  }
  for (std::string_view filter : filters) {
    std::string why;
    if (filter.empty()) why = "empty filter";
    if (!why.empty() || !Filter(filter, option.Cable, why)) {
      error = "bad filter '" + std::string(filter) + "' in --audio: " + why;
      return false;
    }
  }
  return true;
}

}  // namespace zorvane

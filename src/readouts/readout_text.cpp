// SPDX-License-Identifier: GPL-3.0-or-later
#include "readouts/readout_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace zorvane::readouts {

namespace {

std::string Number(double v) {
  char b[64];
  std::snprintf(b, sizeof b, "%.9g", v);
  return b;
}

// A whole token as a finite number; false for anything else.
bool ParseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && std::isfinite(value);
}

// "NAME[I]" with a non-negative index: true with the name and index.
bool Indexed(const std::string& expression, std::string& name, long& index) {
  const size_t open = expression.find('[');
  if (open == std::string::npos || expression.back() != ']') return false;
  name = expression.substr(0, open);
  const std::string digits = expression.substr(open + 1, expression.size() - open - 2);
  const char* end = digits.data() + digits.size();
  auto [ptr, ec] = std::from_chars(digits.data(), end, index);
  return !digits.empty() && ec == std::errc() && ptr == end && index >= 0;
}

constexpr const char* kReasons[] = {"Clipping: samples at full scale", "No tone found",
                                    "Tone too low for this transform size",
                                    "Tone too close to half the rate for its harmonics"};
constexpr const char* kReasonWords[] = {"clipping", "no_tone", "too_low", "near_half_rate"};

}  // namespace

std::vector<std::pair<std::string, std::string>> DistortionFields(const DistortionFigures& f) {
  std::vector<std::pair<std::string, std::string>> fields = {
      {"fundamental_hz", Number(f.fundamentalHz)},
      {"fundamental_dbfs", Number(f.fundamentalDbfs)},
      {"thd_db", Number(f.thdDb)},
      {"thd_percent", Number(f.thdPercent)},
      {"thdn_db", Number(f.thdnDb)},
      {"thdn_percent", Number(f.thdnPercent)},
      {"sinad_db", Number(f.sinadDb)},
      {"snr_db", Number(f.snrDb)},
      {"enob_bits", Number(f.enobBits)},
      {"noise_floor_dbfs", Number(f.noiseFloorDbfs)}};
  for (int i = 0; i < kHarmonics; ++i)
    fields.emplace_back("h" + std::to_string(i + 2) + "_dbc", Number(f.harmonicDbc[i]));
  fields.emplace_back("harmonics_used", std::to_string(f.harmonicsUsed));
  return fields;
}

std::string DistortionText(const DistortionFigures& f) {
  std::string text;
  for (const auto& [name, value] : DistortionFields(f)) text += name + " = " + value + "\n";
  return text;
}

std::string TrustText(unsigned flags) {
  std::string text;
  for (unsigned bit = 0; bit < 4; ++bit)
    if (flags & (1u << bit)) text += (text.empty() ? "" : "; ") + std::string(kReasons[bit]);
  return text;
}

std::string TrustWords(unsigned flags) {
  std::string words;
  for (unsigned bit = 0; bit < 4; ++bit)
    if (flags & (1u << bit)) words += (words.empty() ? "" : ",") + std::string(kReasonWords[bit]);
  return words.empty() ? "ok" : words;
}

std::string BandsCsv(const BlockReadouts& r) {
  std::string text = "band_center_hz,level_dbfs\n";
  char row[96];
  for (int i = 0; i < r.BandCount(); ++i) {
    std::snprintf(row, sizeof row, "%.7g,%.4f\n", r.BandAt(i).centerHz, r.BandLevelDbfs(i));
    text += row;
  }
  return text;
}

bool ReadoutStateText(const BlockReadouts& r, const std::string& name, std::string& out,
                      std::string& error) {
  error.clear();
  std::string array;
  long index = 0;
  if (Indexed(name, array, index)) {
    if (array != "band_center_hz" && array != "band_level_dbfs") return false;
    if (index >= r.BandCount()) {
      error = "no band " + std::to_string(index) + " (band_count " + std::to_string(r.BandCount()) +
              ")";
      return false;
    }
    const int i = static_cast<int>(index);
    out = Number(array == "band_center_hz" ? r.BandAt(i).centerHz : r.BandLevelDbfs(i));
    return true;
  }
  const DistortionFigures f = r.Distortion();
  if (name == "distortion_status") {
    out = TrustWords(f.flags);
    return true;
  }
  if (name == "readout_blocks") {
    out = std::to_string(f.blocks);
    return true;
  }
  if (name == "band_count") {
    out = std::to_string(r.BandCount());
    return true;
  }
  for (const auto& [field, value] : DistortionFields(f))
    if (field == name) {
      out = value;
      return true;
    }
  return false;
}

bool ReadoutCommand(BlockReadouts& r, const std::string& arguments, std::string& error) {
  const size_t space = arguments.find(' ');
  const std::string what = arguments.substr(0, space);
  const std::string value = space == std::string::npos ? "" : arguments.substr(space + 1);
  double number = 0.0;
  if (what == "average" && ParseNumber(value, number) && number == std::floor(number) &&
      number >= 0 && number <= kMaxAverage) {
    r.SetAverage(static_cast<int>(number));
  } else if (what == "fundamental" && value == "auto") {
    r.SetFundamental(0.0);
  } else if (what == "fundamental" && ParseNumber(value, number) && number > 0 && number < 1e6) {
    r.SetFundamental(number);
  } else if (what == "weighting" && (value == "A" || value == "none")) {
    r.SetWeighting(value == "A");
  } else if (what == "bands") {
    BandFraction fraction;
    if (!ParseBandFraction(value, fraction)) {
      error = "readout bands octave|third|sixth|twelfth";
      return false;
    }
    r.SetBandFraction(fraction);
  } else if (what == "hold" && (value == "on" || value == "off")) {
    r.SetHold(Readout::Distortion, value == "on");
    r.SetHold(Readout::Bands, value == "on");
  } else if (what == "clear" && value.empty()) {
    r.Clear();
  } else {
    error =
        "readout average N (0..100) | fundamental HZ|auto | weighting A|none | "
        "bands octave|third|sixth|twelfth | hold on|off | clear";
    return false;
  }
  return true;
}

}  // namespace zorvane::readouts

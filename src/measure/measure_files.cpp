// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/measure_files.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zorvane {

namespace {

void Append(std::string& text, const char* format, double v) { text += FormatNumber(format, v); }

std::string ResponseText(const SweepResult& r, bool frd) {
  std::string text;
  if (frd) {
    char b[256];
    std::snprintf(b, sizeof b,
                  "* log sweep %g Hz to %g Hz, %.3f s, %.1f dBFS, %d repeat(s), %u Hz\n"
                  "* delay %.4f ms removed; frequency (Hz), magnitude (dB), phase (degrees)\n",
                  r.Sweep.Settings.StartHz, r.Sweep.Settings.EndHz, r.Sweep.Seconds,
                  r.Sweep.Settings.LevelDbfs, r.Sweep.Settings.Repeats, r.Sweep.Settings.Rate,
                  r.DelayMs());
    text += b;
  } else {
    text += "frequency_hz,magnitude_db,phase_deg\n";
  }
  const char* sep = frd ? " " : ",";
  for (size_t i = 0; i < r.Hz.size(); ++i) {
    Append(text, "%.4f", r.Hz[i]);
    text += sep;
    Append(text, "%.4f", r.MagnitudeDb[i]);
    text += sep;
    Append(text, "%.3f", r.PhaseDeg[i]);
    text += '\n';
  }
  return text;
}

std::string DistortionText(const SweepResult& r) {
  std::string text = "frequency_hz,h2_db,h3_db,h4_db,h5_db,thd_db\n";
  for (size_t i = 0; i < r.DistortionHz.size(); ++i) {
    Append(text, "%.4f", r.DistortionHz[i]);
    for (const auto& h : r.HarmonicDb) {
      text += ',';
      Append(text, "%.4f", h[i]);
    }
    text += ',';
    Append(text, "%.4f", r.ThdDb[i]);
    text += '\n';
  }
  return text;
}

// A new file beside `path`, for writing: its name, or empty with errno set.
std::string TemporaryBeside(const std::string& path) {
  std::string name = path + ".XXXXXX";
  std::vector<char> buffer(name.begin(), name.end());
  buffer.push_back('\0');
  const int fd = ::mkstemp(buffer.data());
  if (fd < 0) return "";
  // The permissions of a file made the usual way, not mkstemp's private ones.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  return std::string(buffer.data());
}

bool Fail(std::string& error, const std::string& path, const std::string& why) {
  error = "cannot write " + path + ": " + why;
  return false;
}

bool Commit(const std::string& temporary, const std::string& path, std::string& error) {
  if (std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  const int e = errno;
  std::remove(temporary.c_str());
  return Fail(error, path, std::strerror(e));
}

bool WriteText(const std::string& text, const std::string& path, std::string& error) {
  const std::string temporary = TemporaryBeside(path);
  if (temporary.empty()) return Fail(error, path, std::strerror(errno));
  FILE* f = std::fopen(temporary.c_str(), "wb");
  bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const int e = errno;
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) {
    std::remove(temporary.c_str());
    return Fail(error, path, e ? std::strerror(e) : "write failed");
  }
  return Commit(temporary, path, error);
}

bool WriteWav(const SweepResult& r, const std::string& path, std::string& error) {
  const std::string temporary = TemporaryBeside(path);
  if (temporary.empty()) return Fail(error, path, std::strerror(errno));
  SF_INFO info{};
  info.samplerate = static_cast<int>(r.Sweep.Settings.Rate);
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(temporary.c_str(), SFM_WRITE, &info);
  if (!f) {
    const std::string why = sf_strerror(nullptr);
    std::remove(temporary.c_str());
    return Fail(error, path, why);
  }
  const sf_count_t n = static_cast<sf_count_t>(r.Impulse.size());
  const bool ok = sf_writef_float(f, r.Impulse.data(), n) == n;
  const std::string why = ok ? "" : sf_strerror(f);
  if (sf_close(f) != 0 || !ok) {
    std::remove(temporary.c_str());
    return Fail(error, path, why.empty() ? "write failed" : why);
  }
  return Commit(temporary, path, error);
}

}  // namespace

bool WriteMeasureFile(const SweepResult& r, MeasureFile kind, const std::string& path,
                      std::string& error) {
  if (path.empty()) return Fail(error, "''", "no file name");
  switch (kind) {
    case MeasureFile::Csv:
      return WriteText(ResponseText(r, false), path, error);
    case MeasureFile::Frd:
      return WriteText(ResponseText(r, true), path, error);
    case MeasureFile::Distortion:
      return WriteText(DistortionText(r), path, error);
    case MeasureFile::Impulse:
      return WriteWav(r, path, error);
  }
  return false;
}

std::string FormatNumber(const char* format, double v) {
  if (std::isnan(v)) return "nan";
  char b[64];
  std::snprintf(b, sizeof b, format, v);
  std::string text = b;
  if (text[0] == '-' && text.find_first_of("123456789") == std::string::npos) text.erase(0, 1);
  return text;
}

bool MeasureFileFromName(const std::string& word, MeasureFile& kind) {
  if (word == "csv")
    kind = MeasureFile::Csv;
  else if (word == "frd")
    kind = MeasureFile::Frd;
  else if (word == "distortion")
    kind = MeasureFile::Distortion;
  else if (word == "ir")
    kind = MeasureFile::Impulse;
  else
    return false;
  return true;
}

}  // namespace zorvane

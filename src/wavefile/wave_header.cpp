// SPDX-License-Identifier: GPL-3.0-or-later
#include "wavefile/wave_header.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace zorvane {

FileByteSource::FileByteSource(std::FILE* file) : file_(file) {
  if (file_ && std::fseek(file_, 0, SEEK_END) == 0) {
    const long end = std::ftell(file_);
    size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
  }
}

size_t FileByteSource::ReadAt(uint64_t offset, uint8_t* dst, size_t n) {
  if (!file_ || offset > static_cast<uint64_t>(LONG_MAX)) return 0;
  const bool cached = offset >= blockStart_ && offset - blockStart_ + n <= block_.size();
  if (!cached) {
    if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return 0;
    if (n >= kBlockBytes) return std::fread(dst, 1, n, file_);
    block_.resize(kBlockBytes);
    block_.resize(std::fread(block_.data(), 1, kBlockBytes, file_));
    blockStart_ = offset;
  }
  const size_t from = static_cast<size_t>(offset - blockStart_);
  const size_t count = from < block_.size() ? std::min(n, block_.size() - from) : 0;
  std::memcpy(dst, block_.data() + from, count);
  return count;
}

std::FILE* OpenRegularFile(const std::string& path, std::string& problem) {
  auto refuse = [&](const std::string& why) -> std::FILE* {
    problem = path + why;
    return nullptr;
  };
  auto kind = [](mode_t mode) -> const char* {
    if (S_ISDIR(mode)) return " is a folder";
    if (S_ISFIFO(mode)) return " is a named pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return " is a device";
    if (S_ISSOCK(mode)) return " is a socket";
    return S_ISREG(mode) ? nullptr : " is not a regular file";
  };
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return refuse(std::string(": ") + std::strerror(errno));
  if (const char* what = kind(st.st_mode)) return refuse(what);
  // Without blocking, and checked again on what was opened: the name may
  // have been given to something else meanwhile.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return refuse(std::string(": ") + std::strerror(errno));
  const char* what = ::fstat(fd, &st) == 0 ? kind(st.st_mode) : " cannot be examined";
  std::FILE* file = nullptr;
  if (!what && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
    file = ::fdopen(fd, "rb");
  if (!file) {
    ::close(fd);
    return refuse(what ? what : ": cannot be read");
  }
  return file;
}

size_t MemoryByteSource::ReadAt(uint64_t offset, uint8_t* dst, size_t n) {
  if (offset >= size_) return 0;
  const size_t count = std::min<uint64_t>(n, size_ - offset);
  std::memcpy(dst, data_ + offset, count);
  return count;
}

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr uint16_t kPcm = 1;
constexpr uint16_t kExtensible = 0xFFFE;
// The tail that every KSDATAFORMAT_SUBTYPE GUID shares after its first two
// bytes (the format tag).
constexpr uint8_t kSubtypeTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::string Unsupported(const std::string& what) { return "Unsupported WAV format: " + what; }

// The format the analyzer can read, or the message naming what it found.
std::string CheckFormat(const WaveFileInfo& f) {
  if (f.FormatTag != kPcm)
    return Unsupported("format tag " + std::to_string(f.FormatTag) + " (not PCM)");
  if (f.BitsPerSample != 8 && f.BitsPerSample != 16)
    return Unsupported(std::to_string(f.BitsPerSample) + "-bit samples");
  if (f.Channels != 1 && f.Channels != 2)
    return Unsupported(std::to_string(f.Channels) + " channels");
  if (f.Channels == 2 && f.BitsPerSample == 8) return Unsupported("8-bit stereo");
  if (f.SampleRate == 0 || f.SampleRate > kMaxWaveRate)
    return Unsupported("sample rate " + std::to_string(f.SampleRate) + " Hz");
  const unsigned expected = f.Channels * f.BitsPerSample / 8u;
  if (f.BlockAlign != expected)
    return Unsupported("block align " + std::to_string(f.BlockAlign) + " (" +
                       std::to_string(expected) + " expected)");
  return {};
}

}  // namespace

std::string ReadWaveFileInfo(ByteSource& source, WaveFileInfo& info) {
  info = WaveFileInfo{};
  const uint64_t size = source.Size();
  uint8_t head[12];
  const size_t got = source.ReadAt(0, head, sizeof head);
  if (got < 4 || std::memcmp(head, "RIFF", 4) != 0) return "Not a RIFF file";
  if (got < 12) return "The file ends inside its header";
  if (std::memcmp(head + 8, "WAVE", 4) != 0) return "Not a WAVE file";

  bool haveFormat = false;
  uint64_t offset = 12;
  for (int chunks = 0;; ++chunks) {
    if (chunks > kMaxChunksBeforeData)
      return "The file has more than " + std::to_string(kMaxChunksBeforeData) +
             " chunks before its data";
    uint8_t chunk[8];
    if (offset > size || size - offset < 8) {
      // No whole chunk header left.
      if (!haveFormat) return offset == 12 ? "The file ends inside its header" : "fmt incorrect";
      return offset == size ? "The file has no data chunk" : "The file ends inside its header";
    }
    if (source.ReadAt(offset, chunk, 8) != 8) return "The file ends inside its header";
    const uint32_t chunkBytes = U32(chunk + 4);
    const uint64_t body = offset + 8;
    if (!haveFormat && std::memcmp(chunk, "fmt ", 4) == 0) {
      if (chunkBytes < 16) return "fmt incorrect";
      uint8_t fmt[40] = {};
      const size_t want = std::min<uint32_t>(chunkBytes, sizeof fmt);
      if (source.ReadAt(body, fmt, want) != want) return "The file ends inside its header";
      info.FormatTag = U16(fmt);
      info.Channels = U16(fmt + 2);
      info.SampleRate = U32(fmt + 4);
      info.ByteRate = U32(fmt + 8);
      info.BlockAlign = U16(fmt + 12);
      info.BitsPerSample = U16(fmt + 14);
      if (info.FormatTag == kExtensible) {
        // cbSize 22: valid bits, channel mask, then the sub-format GUID whose
        // first two bytes are the actual format tag.
        if (want >= 40 && std::memcmp(fmt + 26, kSubtypeTail, sizeof kSubtypeTail) == 0)
          info.FormatTag = U16(fmt + 24);
      }
      haveFormat = true;
      if (std::string bad = CheckFormat(info); !bad.empty()) return bad;
    } else if (haveFormat && std::memcmp(chunk, "data", 4) == 0) {
      info.DataOffset = body;
      info.StatedDataBytes = chunkBytes;
      info.DataBytes = std::min<uint64_t>(chunkBytes, size > body ? size - body : 0);
      return {};
    }
    offset = body + chunkBytes + (chunkBytes & 1u);
  }
}

}  // namespace zorvane

// The RIFF/WAVE header of a file the analyzer reads: where its samples are
// and in what format, or the reason it cannot be read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace zorvane {

// Bytes of a file by their offset.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Copies up to n bytes from offset into dst; returns how many it copied.
  virtual size_t ReadAt(uint64_t offset, uint8_t* dst, size_t n) = 0;
};

// An open file (the position is left where the last read ended).
class FileByteSource : public ByteSource {
 public:
  explicit FileByteSource(std::FILE* file);
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, uint8_t* dst, size_t n) override;

 private:
  std::FILE* file_;
  uint64_t size_ = 0;
};

// Bytes in memory.
class MemoryByteSource : public ByteSource {
 public:
  MemoryByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, uint8_t* dst, size_t n) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

struct WaveFileInfo {
  uint16_t FormatTag = 0;  // 1 (PCM), also when the file says WAVE_FORMAT_EXTENSIBLE with PCM
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint32_t ByteRate = 0;  // as the header states it
  uint16_t BlockAlign = 0;
  uint16_t BitsPerSample = 0;
  uint64_t DataOffset = 0;       // first sample byte
  uint64_t DataBytes = 0;        // sample bytes the file really holds
  uint64_t StatedDataBytes = 0;  // the data chunk's size field
};

// The highest sample rate the analyzer accepts from a file.
constexpr uint32_t kMaxWaveRate = 384000;

// Reads the header: "RIFF", "WAVE", then the chunks from offset 12, taking
// the "fmt " chunk and the "data" chunk after it by their identifiers and
// skipping every other chunk (with its pad byte). Accepts 8- or 16-bit PCM,
// mono or 16-bit stereo, 1 Hz to kMaxWaveRate. Returns an empty string, or
// the message for the user: "Not a RIFF file", "Not a WAVE file", "fmt
// incorrect", "The file ends inside its header", "The file has no data
// chunk" or "Unsupported WAV format: ..." naming what was found.
std::string ReadWaveFileInfo(ByteSource& source, WaveFileInfo& info);

}  // namespace zorvane

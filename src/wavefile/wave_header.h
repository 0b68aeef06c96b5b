// SPDX-License-Identifier: GPL-3.0-or-later
// The RIFF/WAVE header of a file the analyzer reads: where its samples are
// and in what format, or the reason it cannot be read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zorvane {

// Bytes of a file by their offset.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Copies up to n bytes from offset into dst; returns how many it copied.
  virtual size_t ReadAt(uint64_t offset, uint8_t* dst, size_t n) = 0;
};

// An open file, read in large blocks so that a walk over many small chunks
// costs one read per block (the file's position is left anywhere).
class FileByteSource : public ByteSource {
 public:
  explicit FileByteSource(std::FILE* file);
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, uint8_t* dst, size_t n) override;

 private:
  static constexpr size_t kBlockBytes = 64 * 1024;
  std::FILE* file_;
  uint64_t size_ = 0;
  std::vector<uint8_t> block_;  // the bytes from blockStart_ on
  uint64_t blockStart_ = 0;
};

// Opens a file the analyzer is to read, refusing what is not a regular file
// before anything can block on it (opening a named pipe waits for a writer;
// a device may never end). nullptr, with the reason in `problem` naming the
// path ("PATH is a folder", "PATH: Permission denied", ...), when it cannot.
std::FILE* OpenRegularFile(const std::string& path, std::string& problem);

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
// Chunks passed over before the data chunk; real files have a handful.
constexpr int kMaxChunksBeforeData = 4096;

// Reads the header: "RIFF", "WAVE", then the chunks from offset 12, taking
// the "fmt " chunk and the "data" chunk after it by their identifiers and
// skipping every other chunk (with its pad byte). Accepts 8- or 16-bit PCM,
// mono or 16-bit stereo, 1 Hz to kMaxWaveRate. Returns an empty string, or
// the message for the user: "Not a RIFF file", "Not a WAVE file", "fmt
// incorrect", "The file ends inside its header", "The file has no data
// chunk", "The file has more than 4096 chunks before its data" or
// "Unsupported WAV format: ..." naming what was found.
std::string ReadWaveFileInfo(ByteSource& source, WaveFileInfo& info);

}  // namespace zorvane

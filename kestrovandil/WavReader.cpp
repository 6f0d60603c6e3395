#include "kestrovandil/WavReader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iomanip>
#include <ios>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrovandil {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;
constexpr std::uint16_t kMaxChannels = 32;
constexpr std::uint32_t kMaxSampleRate = 1'000'000;

constexpr std::uint16_t kFormatPcm = 0x0001;
constexpr std::uint16_t kFormatFloat = 0x0003;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

constexpr std::size_t kFmtSize = 16;
constexpr std::size_t kExtensibleFmtSize = 40;
constexpr std::size_t kSubFormatOffset = 24;
// Bytes 2..15 of the KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT GUIDs; bytes
// 0..1 carry the plain format tag.
constexpr std::array<unsigned char, 14> kSubFormatTail = {
    0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
    0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

using ChunkId = std::array<unsigned char, 4>;

std::uint16_t Le16(const unsigned char* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t Le32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(Le16(bytes)) |
         static_cast<std::uint32_t>(Le16(bytes + 2)) << 16;
}

bool HasId(const unsigned char* bytes, std::string_view id) {
  return std::equal(id.begin(), id.end(), bytes,
                    [](char expected, unsigned char actual) {
                      return static_cast<unsigned char>(expected) == actual;
                    });
}

std::string Hex(std::uint32_t value, int digits) {
  std::ostringstream text;
  text << "0x" << std::uppercase << std::hex << std::setfill('0')
       << std::setw(digits) << value;
  return text.str();
}

// A hostile chunk id may hold any byte; only printable ASCII goes into a
// message as is, so the result text stays valid UTF-8.
std::string ChunkName(const ChunkId& id) {
  if (std::all_of(id.begin(), id.end(),
                  [](unsigned char c) { return c >= 0x20 && c < 0x7F; })) {
    return "the '" + std::string(id.begin(), id.end()) + "' chunk";
  }
  const std::uint32_t inFileOrder = static_cast<std::uint32_t>(id[0]) << 24 |
                                    static_cast<std::uint32_t>(id[1]) << 16 |
                                    static_cast<std::uint32_t>(id[2]) << 8 |
                                    id[3];
  return "the chunk " + Hex(inFileOrder, 8);
}

// Why a fmt chunk's numbers cannot be converted, or "" when they can.
std::string CheckFormat(const WavFormat& format) {
  const auto bits = format.bitsPerSample;
  if (format.channels < 1 || format.channels > kMaxChannels) {
    return "channel count " + std::to_string(format.channels) +
           " is out of range 1.." + std::to_string(kMaxChannels);
  }
  if (format.sampleRate < 1 || format.sampleRate > kMaxSampleRate) {
    return "sample rate " + std::to_string(format.sampleRate) +
           " Hz is out of range 1.." + std::to_string(kMaxSampleRate);
  }
  const bool pcm = format.sampleFormat == SampleFormat::kPcm;
  const bool supported =
      pcm ? bits == 8 || bits == 16 || bits == 24 || bits == 32
          : bits == 32 || bits == 64;
  if (!supported) {
    return std::string(pcm ? "pcm" : "float") + " with " +
           std::to_string(bits) + " bits per sample is not supported";
  }
  if (const int frameSize = format.channels * bits / 8;
      format.blockAlign != frameSize) {
    return "block align " + std::to_string(format.blockAlign) + " should be " +
           std::to_string(frameSize);
  }
  return {};
}

// What a writer that cannot seek back leaves in a size field for "unknown":
// the largest size, or 2 GiB less 4 KiB (espeak-ng on a pipe).
constexpr std::uint32_t kUnknownSize = 0xFFFFFFFF;
constexpr std::uint32_t kUnknownSizeBelow2GiB = 0x7FFFF000;
constexpr std::uint64_t kRiffHeaderSize = 8;  // the id and size before "WAVE"

class CWavParser {
 public:
  CWavParser(std::istream& in, std::uint64_t streamSize,
             const std::string& path, WavFormat& format)
      : in_(in), streamSize_(streamSize), path_(path), format_(format) {}

  CStatus Read(const ProgressCallback& onProgress) {
    std::uint32_t declaredSize = 0;
    if (CStatus status = ReadRiffHeader(); !status.ok()) return status;
    if (CStatus status = FindData(declaredSize); !status.ok()) return status;
    return ReadData(declaredSize, onProgress);
  }

 private:
  static CStatus Invalid(std::string detail) {
    return {ResultCode::kAudioFormatInvalid,
            "audio format invalid: " + std::move(detail)};
  }

  CStatus ReadFailed() const {
    return {ResultCode::kAudioUnreadable,
            "audio file cannot be read: " + path_};
  }

  // Reads as much of dest as the stream holds; the count read.
  std::size_t ReadUpTo(std::span<unsigned char> dest) {
    in_.read(reinterpret_cast<char*>(dest.data()),
             static_cast<std::streamsize>(dest.size()));
    const auto got = static_cast<std::size_t>(in_.gcount());
    offset_ += got;
    return got;
  }

  CStatus ReadExactly(std::span<unsigned char> dest, const std::string& where) {
    const std::size_t got = ReadUpTo(dest);
    if (in_.bad()) return ReadFailed();
    if (got != dest.size()) return Invalid("file ends inside " + where);
    return {};
  }

  // Reads and drops, through the stream's own buffer, so a huge size costs
  // time only as far as the file really goes.
  CStatus Skip(std::uint64_t size, const std::string& where) {
    in_.ignore(static_cast<std::streamsize>(size));
    const auto got = static_cast<std::uint64_t>(in_.gcount());
    offset_ += got;
    if (in_.bad()) return ReadFailed();
    if (got != size) return Invalid("file ends inside " + where);
    return {};
  }

  // The RIFF size is kept but not checked: streaming writers often leave it
  // 0 or 0xFFFFFFFF, and every chunk is held to the real end of the file
  // anyway. It only tells an empty data chunk from a streamed one.
  CStatus ReadRiffHeader() {
    std::array<unsigned char, 12> header{};
    if (CStatus status = ReadExactly(header, "the RIFF header"); !status.ok()) {
      return status;
    }
    if (!HasId(header.data(), "RIFF")) return Invalid("not a RIFF file");
    if (!HasId(header.data() + 8, "WAVE")) return Invalid("not a WAVE file");
    riffSize_ = Le32(header.data() + 4);
    return {};
  }

  // Walks the chunks up to the data chunk's header; the fmt chunk must come
  // first, as the data cannot be read without it.
  CStatus FindData(std::uint32_t& dataSize) {
    bool haveFmt = false;
    for (;;) {
      std::array<unsigned char, 8> header{};
      const std::size_t got = ReadUpTo(header);
      if (in_.bad()) return ReadFailed();
      if (got == 0) return Invalid("no data chunk");
      if (got != header.size()) {
        return Invalid("file ends inside a chunk header");
      }
      const std::uint32_t size = Le32(header.data() + 4);
      if (HasId(header.data(), "data")) {
        if (!haveFmt) return Invalid("data chunk comes before the fmt chunk");
        dataSize = size;
        return {};
      }
      const ChunkId id = {header[0], header[1], header[2], header[3]};
      if (HasId(header.data(), "fmt ")) {
        if (haveFmt) return Invalid("more than one fmt chunk");
        if (CStatus status = ReadFmt(size); !status.ok()) return status;
        haveFmt = true;
      } else if (CStatus status = Skip(size, ChunkName(id)); !status.ok()) {
        return status;
      }
      // Chunks start on even offsets; an odd-sized one is followed by a pad.
      if (size % 2 == 1) {
        if (CStatus status = Skip(1, ChunkName(id)); !status.ok()) {
          return status;
        }
      }
    }
  }

  CStatus ReadFmt(std::uint32_t size) {
    if (size < kFmtSize) {
      return Invalid("fmt chunk is too short (" + std::to_string(size) +
                     " bytes)");
    }
    std::array<unsigned char, kExtensibleFmtSize> body{};
    const std::size_t kept = std::min<std::size_t>(size, body.size());
    if (CStatus status =
            ReadExactly(std::span(body).first(kept), "the fmt chunk");
        !status.ok()) {
      return status;
    }
    if (CStatus status = Skip(size - kept, "the fmt chunk"); !status.ok()) {
      return status;
    }
    std::uint16_t tag = Le16(body.data());
    if (tag == kFormatExtensible) {
      if (size < kExtensibleFmtSize) {
        return Invalid("extensible fmt chunk is too short (" +
                       std::to_string(size) + " bytes)");
      }
      if (!std::equal(kSubFormatTail.begin(), kSubFormatTail.end(),
                      body.begin() + kSubFormatOffset + 2)) {
        return Invalid("unsupported extensible sub-format");
      }
      tag = Le16(body.data() + kSubFormatOffset);
    }
    if (tag == kFormatPcm) {
      format_.sampleFormat = SampleFormat::kPcm;
    } else if (tag == kFormatFloat) {
      format_.sampleFormat = SampleFormat::kFloat;
    } else {
      return Invalid("unsupported sample format " + Hex(tag, 4));
    }
    format_.channels = Le16(body.data() + 2);
    format_.sampleRate = Le32(body.data() + 4);
    format_.blockAlign = Le16(body.data() + 12);
    format_.bitsPerSample = Le16(body.data() + 14);
    if (std::string problem = CheckFormat(format_); !problem.empty()) {
      return Invalid(std::move(problem));
    }
    return {};
  }

  // Whether the data runs to the end of the stream: its size is what a
  // writer leaves that wrote the header before the data and never came back.
  // Such a size is taken at its word only where the RIFF size counts the
  // whole chunk and more after it, as a writer that came back to fix the
  // sizes leaves them around a chunk of exactly that size; an unknown RIFF
  // size counts nothing. A RIFF size that ends where such a chunk would end
  // is what espeak-ng leaves on a pipe, and for a complete file reading to
  // the end gives the same samples. So 0 counts only where the RIFF size
  // ends no later than the data chunk's header (as 0 does); elsewhere the
  // chunk is empty and other chunks follow it. Called at the start of the
  // data.
  [[nodiscard]] bool IsStreamed(std::uint32_t dataSize) const {
    const bool placeholder = dataSize == 0 || dataSize == kUnknownSize ||
                             dataSize == kUnknownSizeBelow2GiB;
    return placeholder && (riffSize_ == kUnknownSize ||
                           kRiffHeaderSize + riffSize_ <= offset_ + dataSize);
  }

  // Nothing is recognised, yet every sample is read, through one fixed
  // block, so that the time and progress of a run follow the audio's size.
  // Streamed data is read to the end of the stream; its progress is the
  // share of the bytes that the stream's size leaves for it.
  CStatus ReadData(std::uint32_t declaredSize,
                   const ProgressCallback& onProgress) {
    const bool streamed = IsStreamed(declaredSize);
    const auto notWholeFrames = [this](std::uint64_t size) {
      return Invalid("data size " + std::to_string(size) +
                     " is not a multiple of the block align " +
                     std::to_string(format_.blockAlign));
    };
    // A declared size is refused before its data is read.
    if (!streamed && declaredSize % format_.blockAlign != 0) {
      return notWholeFrames(declaredSize);
    }
    const std::uint64_t expected =
        !streamed ? declaredSize
                  : (streamSize_ > offset_ ? streamSize_ - offset_ : 0);
    std::vector<unsigned char> block(kBlockSize);
    std::uint64_t done = 0;
    for (;;) {
      const std::size_t wanted =
          streamed ? block.size()
                   : std::min<std::uint64_t>(block.size(), expected - done);
      if (wanted == 0) break;
      const std::size_t got = ReadUpTo(std::span(block).first(wanted));
      // A block that a read error broke counts for nothing, however much of
      // it came, so that the share is of whole blocks.
      if (in_.bad()) return ReadFailed();
      done += got;
      // Before any other failure is told, so that the share shows where
      // reading stopped; it stays below 1 until all of the data is read.
      if (got > 0 && done < expected) {
        onProgress(static_cast<double>(done) / static_cast<double>(expected));
      }
      if (got != wanted) {
        if (streamed) break;
        return Invalid("data chunk is truncated: " + std::to_string(expected) +
                       " bytes declared, " + std::to_string(done) + " present");
      }
    }
    if (done == 0) return Invalid("data chunk holds no samples");
    // All of the data is read, whole frames or not.
    onProgress(1.0);
    if (done % format_.blockAlign != 0) return notWholeFrames(done);
    format_.dataSize = done;
    return {};
  }

  std::istream& in_;
  const std::uint64_t streamSize_;
  const std::string& path_;
  WavFormat& format_;
  std::uint64_t offset_ = 0;  // bytes taken from the stream so far
  std::uint32_t riffSize_ = 0;
};

}  // namespace

CStatus ReadWav(std::istream& in, std::uint64_t streamSize,
                const std::string& path, const ProgressCallback& onProgress,
                WavFormat& format) {
  return CWavParser(in, streamSize, path, format).Read(onProgress);
}

}  // namespace kestrovandil

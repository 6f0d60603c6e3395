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

class CWavParser {
 public:
  explicit CWavParser(std::istream& in) : in_(in) {}

  WavReadResult Read(const ProgressCallback& onProgress) {
    if (ReadRiffHeader() && FindData()) ReadData(onProgress);
    return std::move(result_);
  }

 private:
  bool Invalid(std::string detail) {
    result_.error = WavError::kInvalidFormat;
    result_.detail = std::move(detail);
    return false;
  }

  bool ReadFailed() {
    result_.error = WavError::kReadFailed;
    result_.detail = "read error";
    return false;
  }

  // Reads as much of dest as the stream holds; the count read.
  std::size_t ReadUpTo(std::span<unsigned char> dest) {
    in_.read(reinterpret_cast<char*>(dest.data()),
             static_cast<std::streamsize>(dest.size()));
    return static_cast<std::size_t>(in_.gcount());
  }

  bool ReadExactly(std::span<unsigned char> dest, const std::string& where) {
    const std::size_t got = ReadUpTo(dest);
    if (in_.bad()) return ReadFailed();
    if (got != dest.size()) return Invalid("file ends inside " + where);
    return true;
  }

  // Reads and drops, through the stream's own buffer, so a huge size costs
  // time only as far as the file really goes.
  bool Skip(std::uint64_t size, const std::string& where) {
    in_.ignore(static_cast<std::streamsize>(size));
    if (in_.bad()) return ReadFailed();
    if (static_cast<std::uint64_t>(in_.gcount()) != size) {
      return Invalid("file ends inside " + where);
    }
    return true;
  }

  // The RIFF size is left unchecked: streaming writers often leave it 0 or
  // 0xFFFFFFFF, and every chunk is held to the real end of the file anyway.
  bool ReadRiffHeader() {
    std::array<unsigned char, 12> header{};
    if (!ReadExactly(header, "the RIFF header")) return false;
    if (!HasId(header.data(), "RIFF")) return Invalid("not a RIFF file");
    if (!HasId(header.data() + 8, "WAVE")) return Invalid("not a WAVE file");
    return true;
  }

  // Walks the chunks up to the data chunk's header; the fmt chunk must come
  // first, as the data cannot be read without it.
  bool FindData() {
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
        result_.format.dataSize = size;
        return true;
      }
      const ChunkId id = {header[0], header[1], header[2], header[3]};
      if (HasId(header.data(), "fmt ")) {
        if (haveFmt) return Invalid("more than one fmt chunk");
        if (!ReadFmt(size)) return false;
        haveFmt = true;
      } else if (!Skip(size, ChunkName(id))) {
        return false;
      }
      // Chunks start on even offsets; an odd-sized one is followed by a pad.
      if (size % 2 == 1 && !Skip(1, ChunkName(id))) return false;
    }
  }

  bool ReadFmt(std::uint32_t size) {
    if (size < kFmtSize) {
      return Invalid("fmt chunk is too short (" + std::to_string(size) +
                     " bytes)");
    }
    std::array<unsigned char, kExtensibleFmtSize> body{};
    const std::size_t kept = std::min<std::size_t>(size, body.size());
    if (!ReadExactly(std::span(body).first(kept), "the fmt chunk") ||
        !Skip(size - kept, "the fmt chunk")) {
      return false;
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
    WavFormat& format = result_.format;
    if (tag == kFormatPcm) {
      format.sampleFormat = SampleFormat::kPcm;
    } else if (tag == kFormatFloat) {
      format.sampleFormat = SampleFormat::kFloat;
    } else {
      return Invalid("unsupported sample format " + Hex(tag, 4));
    }
    format.channels = Le16(body.data() + 2);
    format.sampleRate = Le32(body.data() + 4);
    format.blockAlign = Le16(body.data() + 12);
    format.bitsPerSample = Le16(body.data() + 14);
    if (std::string problem = CheckFormat(format); !problem.empty()) {
      return Invalid(std::move(problem));
    }
    return true;
  }

  // Nothing is recognised, yet every sample is read, through one fixed
  // block, so that the time and progress of a run follow the audio's size.
  bool ReadData(const ProgressCallback& onProgress) {
    const std::uint32_t size = result_.format.dataSize;
    const std::uint16_t blockAlign = result_.format.blockAlign;
    if (size == 0) return Invalid("data chunk holds no samples");
    if (size % blockAlign != 0) {
      return Invalid("data size " + std::to_string(size) +
                     " is not a multiple of the block align " +
                     std::to_string(blockAlign));
    }
    std::vector<unsigned char> block(kBlockSize);
    std::uint64_t done = 0;
    while (done < size) {
      const std::size_t wanted =
          std::min<std::uint64_t>(block.size(), size - done);
      const std::size_t got = ReadUpTo(std::span(block).first(wanted));
      if (in_.bad()) return ReadFailed();
      done += got;
      if (got != wanted) {
        return Invalid("data chunk is truncated: " + std::to_string(size) +
                       " bytes declared, " + std::to_string(done) + " present");
      }
      onProgress(static_cast<double>(done) / size);
    }
    return true;
  }

  std::istream& in_;
  WavReadResult result_;
};

}  // namespace

WavReadResult ReadWav(std::istream& in, const ProgressCallback& onProgress) {
  return CWavParser(in).Read(onProgress);
}

}  // namespace kestrovandil

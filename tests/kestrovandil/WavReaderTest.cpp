// The audio side of a start, driven through the library's C interface with
// WAVE files written byte by byte.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ios>
#include <istream>
#include <memory>
#include <streambuf>
#include <string>
#include <utility>

#include <gtest/gtest.h>
#include <json/value.h>
#include <json/writer.h>  // prints values in failure messages

#include "TaskTesting.h"
#include "WavBytes.h"
#include "driver/ConvertTask.h"
#include "kestrovandil/AudioSource.h"
#include "kestrovandil/CConversionTask.h"
#include "kestrovandil/CStatus.h"

namespace {

// Serves head, then hole zero bytes, then tail. The hole is never written
// into the reader's buffer, which a reader that drops its samples unseen
// cannot tell: gigabytes of audio cost no disk and next to no time, under
// valgrind too.
class CHoleStream : public std::istream {
 public:
  CHoleStream(std::string head, std::uint64_t hole, std::string tail)
      : std::istream(nullptr), buffer_(std::move(head), hole, std::move(tail)) {
    rdbuf(&buffer_);
  }

 private:
  class CBuffer : public std::streambuf {
   public:
    CBuffer(std::string head, std::uint64_t hole, std::string tail)
        : head_(std::move(head)), hole_(hole), tail_(std::move(tail)) {}

   protected:
    int_type underflow() override {
      if (Serve(&one_, 1) == 0) return traits_type::eof();
      setg(&one_, &one_, &one_ + 1);
      return traits_type::to_int_type(one_);
    }

    std::streamsize xsgetn(char* dest, std::streamsize count) override {
      std::streamsize done = 0;
      if (gptr() < egptr() && count > 0) {
        *dest = *gptr();
        gbump(1);
        done = 1;
      }
      while (done < count) {
        const std::uint64_t got = Serve(dest + done, count - done);
        if (got == 0) break;
        done += static_cast<std::streamsize>(got);
      }
      return done;
    }

   private:
    std::uint64_t Serve(char* dest, std::streamsize count) {
      const std::uint64_t holeEnd = head_.size() + hole_;
      const std::uint64_t wanted = static_cast<std::uint64_t>(count);
      std::uint64_t got = 0;
      if (at_ < head_.size()) {
        got = std::min<std::uint64_t>(wanted, head_.size() - at_);
        std::memcpy(dest, head_.data() + at_, got);
      } else if (at_ < holeEnd) {
        got = std::min(wanted, holeEnd - at_);
      } else if (at_ - holeEnd < tail_.size()) {
        got = std::min<std::uint64_t>(wanted, tail_.size() - (at_ - holeEnd));
        std::memcpy(dest, tail_.data() + (at_ - holeEnd), got);
      }
      at_ += got;
      return got;
    }

    const std::string head_;
    const std::uint64_t hole_;
    const std::string tail_;
    std::uint64_t at_ = 0;
    char one_ = 0;
  };
  CBuffer buffer_;
};

TEST(WavReader, DescribesValidFiles) {
  const std::string fmt16 = Chunk("fmt ", FmtBody(kPcm, 1, 16000, 16));
  const std::string data = Chunk("data", std::string(32000, '\0'));
  const std::string tenth(3200, '\0');
  const struct {
    const char* name;
    std::string bytes;
    double duration;
    int sampleRate;
    int channels;
    int bits;
    const char* format;
    // Zeros after the bytes, and the bytes after them; a file with a hole,
    // or of a size not known, comes through a CHoleStream rather than from
    // the disk.
    std::uint64_t hole = 0;
    std::string afterHole = "";
    bool sizeKnown = true;
  } kRows[] = {
      {"16-bit pcm", WavFile(kPcm, 1, 16000, 16, 8000), 0.5, 16000, 1, 16,
       "pcm"},
      {"32-bit float", WavFile(kFloat, 2, 48000, 32, 12000), 0.25, 48000, 2, 32,
       "float"},
      {"8-bit pcm", WavFile(kPcm, 1, 8000, 8, 2000), 0.25, 8000, 1, 8, "pcm"},
      {"24-bit pcm, many blocks", WavFile(kPcm, 2, 44100, 24, 110250), 2.5,
       44100, 2, 24, "pcm"},
      {"32-bit pcm", WavFile(kPcm, 6, 96000, 32, 48000), 0.5, 96000, 6, 32,
       "pcm"},
      {"64-bit float", WavFile(kFloat, 1, 22050, 64, 11025), 0.5, 22050, 1, 64,
       "float"},
      {"largest channel count and rate", WavFile(kPcm, 32, 1000000, 8, 1000),
       0.001, 1000000, 32, 8, "pcm"},
      {"1 Hz", WavFile(kPcm, 1, 1, 16, 3), 3.0, 1, 1, 16, "pcm"},
      {"extensible pcm",
       RiffWave(Chunk("fmt ", ExtensibleFmtBody(kPcm, 2, 16000, 16)) +
                Chunk("data", std::string(16000, '\0'))),
       0.25, 16000, 2, 16, "pcm"},
      {"extensible float",
       RiffWave(Chunk("fmt ", ExtensibleFmtBody(kFloat, 1, 8000, 32)) +
                Chunk("data", std::string(32000, '\0'))),
       1.0, 8000, 1, 32, "float"},
      {"fmt with cbSize and extra bytes",
       RiffWave(Chunk("fmt ", FmtBody(kPcm, 1, 16000, 16) + Le16(4) + "xyzw") +
                data),
       1.0, 16000, 1, 16, "pcm"},
      {"odd unknown chunks skipped with their pad",
       RiffWave(Chunk("LIST", "abc") + fmt16 + Chunk("fact", "12345") + data),
       1.0, 16000, 1, 16, "pcm"},
      {"whatever follows the data unread",
       RiffWave(fmt16 + data + RawChunk("junk", 0xFFFFFFFF, "")), 1.0, 16000, 1,
       16, "pcm"},
      {"RIFF size left 0 by a streaming writer",
       "RIFF" + Le32(0) + "WAVE" + fmt16 + data, 1.0, 16000, 1, 16, "pcm"},
      {"data size left 0 by a streaming writer: read to the end",
       "RIFF" + Le32(0) + "WAVE" + fmt16 +
           RawChunk("data", 0, std::string(32000, '\0')),
       1.0, 16000, 1, 16, "pcm"},
      {"data size left 0xFFFFFFFF, many blocks",
       "RIFF" + Le32(0xFFFFFFFF) + "WAVE" + fmt16 +
           RawChunk("data", 0xFFFFFFFF, std::string(200000, '\0')),
       6.25, 16000, 1, 16, "pcm"},
      {"data size 0 under a RIFF size left 0xFFFFFFFF",
       "RIFF" + Le32(0xFFFFFFFF) + "WAVE" + fmt16 + RawChunk("data", 0, tenth),
       0.1, 16000, 1, 16, "pcm"},
      {"data size 0 under a RIFF size written before the data",
       "RIFF" + Le32(36) + "WAVE" + fmt16 + RawChunk("data", 0, tenth), 0.1,
       16000, 1, 16, "pcm"},
      {"true sizes, a LIST chunk after the data",
       RiffWave(fmt16 + Chunk("data", tenth) + Chunk("LIST", "INFO")), 0.1,
       16000, 1, 16, "pcm"},
      {"espeak-ng's sizes for a pipe",
       "RIFF" + Le32(0x7FFFF024) + "WAVE" + fmt16 +
           RawChunk("data", 0x7FFFF000, tenth),
       0.1, 16000, 1, 16, "pcm"},
      {"a chunk id with a space skipped as unknown",
       RiffWave(Chunk("a b ", "xyz") + fmt16 + Chunk("id3 ", "tag") + data),
       1.0, 16000, 1, 16, "pcm"},
      // 0xFF bytes at the stream's 64 KiB refill and in a 24-bit sample
      // split across two of the reader's blocks: no byte reads as the end.
      {"0xFF samples across 64 KiB boundaries",
       RiffWave(Chunk("fmt ", FmtBody(kPcm, 1, 30000, 24)) +
                Chunk("data", std::string(90000, '\xFF'))),
       1.0, 30000, 1, 24, "pcm"},
      // espeak-ng's data size as a true one: the RIFF size counts the chunk
      // and the LIST chunk after it, which holds no samples.
      {"a true data size of 0x7FFFF000, a LIST chunk after it",
       "RIFF" + Le32(0x7FFFF000 + 48) + "WAVE" +
           Chunk("fmt ", FmtBody(kPcm, 2, 16000, 16)) +
           RawChunk("data", 0x7FFFF000, ""),
       33554.368, 16000, 2, 16, "pcm", 0x7FFFF000, Chunk("LIST", "INFO")},
      {"streamed data from a stream of unknown size",
       "RIFF" + Le32(0xFFFFFFFF) + "WAVE" + fmt16 +
           RawChunk("data", 0xFFFFFFFF, std::string(200000, '\0')),
       6.25, 16000, 1, 16, "pcm", 0, "", false},
  };
  const CTestDir dir;
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    const std::string audio = dir.Write("audio.wav", row.bytes);
    const std::string request = RequestText(audio, dir.modelPath());
    const TaskPtr task = MakeTask();
    kestrovandil::CConversionTask holed(
        [&row](const std::string&, kestrovandil::AudioInput& input) {
          input.stream =
              std::make_unique<CHoleStream>(row.bytes, row.hole, row.afterHole);
          input.size = row.sizeKnown
                           ? row.bytes.size() + row.hole + row.afterHole.size()
                           : 0;
          return kestrovandil::CStatus();
        });
    const bool viaStream = row.hole > 0 || !row.sizeKnown;
    const Json::Value result =
        ParseText(viaStream ? holed.Start(request.c_str())
                            : ConvertTaskStart(task.get(), request.c_str()));
    EXPECT_EQ(result["code"], 0);
    EXPECT_EQ(result["message"], "conversion finished");
    EXPECT_EQ(result["data"], "");
    EXPECT_DOUBLE_EQ(result["duration"].asDouble(), row.duration);
    EXPECT_EQ(result["sample_rate"], row.sampleRate);
    EXPECT_EQ(result["channels"], row.channels);
    EXPECT_EQ(result["bits_per_sample"], row.bits);
    EXPECT_EQ(result["format"], row.format);
    const Json::Value status = ParseText(
        viaStream ? holed.Status() : ConvertTaskStatus(task.get(), ""));
    EXPECT_EQ(status["state"], "done");
    EXPECT_EQ(status["progress"], 1.0);
  }
}

TEST(WavReader, RejectsBrokenAndHostileFiles) {
  const std::string fmt16 = Chunk("fmt ", FmtBody(kPcm, 1, 16000, 16));
  const std::string data = Chunk("data", std::string(4, '\0'));
  const auto withFmt = [&data](const std::string& fmtBody) {
    return RiffWave(Chunk("fmt ", fmtBody) + data);
  };
  std::string foreignGuid = ExtensibleFmtBody(kPcm, 1, 16000, 16);
  foreignGuid.back() = '\x72';
  const struct {
    std::string bytes;
    const char* message;
    double progress = 0.0;  // where reading stopped
  } kRows[] = {
      {"", "file ends inside the RIFF header"},
      {"RIFF" + Le32(4), "file ends inside the RIFF header"},
      {"RIFX" + Le32(4) + "WAVE" + fmt16 + data, "not a RIFF file"},
      {"RIFF" + Le32(4) + "AVI " + fmt16 + data, "not a WAVE file"},
      {"RIFF" + Le32(4) + "WAVX" + fmt16 + data, "not a WAVE file"},
      {"RIFF" + Le32(4) + "WAV " + fmt16 + data, "not a WAVE file"},
      {RiffWave(""), "no data chunk"},
      {RiffWave(fmt16), "no data chunk"},
      {RiffWave(fmt16 + "dat"), "file ends inside a chunk header"},
      {withFmt(FmtBody(kPcm, 1, 16000, 16).substr(0, 14)),
       "fmt chunk is too short (14 bytes)"},
      {RiffWave(
           RawChunk("fmt ", 16, FmtBody(kPcm, 1, 16000, 16).substr(0, 10))),
       "file ends inside the fmt chunk"},
      {withFmt(FmtBody(kPcm, 0, 16000, 16, 2)),
       "channel count 0 is out of range 1..32"},
      {withFmt(FmtBody(kPcm, 33, 16000, 16)),
       "channel count 33 is out of range 1..32"},
      {withFmt(FmtBody(kPcm, 1, 0, 16)),
       "sample rate 0 Hz is out of range 1..1000000"},
      {withFmt(FmtBody(kPcm, 1, 0xFFFFFFFF, 16)),
       "sample rate 4294967295 Hz is out of range 1..1000000"},
      {withFmt(FmtBody(2, 1, 16000, 4)), "unsupported sample format 0x0002"},
      {withFmt(FmtBody(kPcm, 1, 16000, 12, 2)),
       "pcm with 12 bits per sample is not supported"},
      {withFmt(FmtBody(kFloat, 1, 16000, 16)),
       "float with 16 bits per sample is not supported"},
      {withFmt(FmtBody(kPcm, 2, 16000, 16, 2)), "block align 2 should be 4"},
      {withFmt(FmtBody(kPcm, 1, 16000, 16, 0)), "block align 0 should be 2"},
      {withFmt(FmtBody(kPcm, 1, 16000, 16, 4)), "block align 4 should be 2"},
      {withFmt(FmtBody(kExtensible, 1, 16000, 16) + Le16(0)),
       "extensible fmt chunk is too short (18 bytes)"},
      {withFmt(foreignGuid), "unsupported extensible sub-format"},
      {RiffWave(data + fmt16), "data chunk comes before the fmt chunk"},
      {RiffWave(fmt16 + fmt16 + data), "more than one fmt chunk"},
      {RiffWave(fmt16 + Chunk("data", "")), "data chunk holds no samples"},
      // A true RIFF size: the chunk is empty, and the LIST chunk no samples.
      {RiffWave(fmt16 + Chunk("data", "") + Chunk("LIST", "INFO")),
       "data chunk holds no samples"},
      // Counted from after its own 8 bytes, the RIFF size ends 8 bytes after
      // the data chunk's header, not at it.
      {RiffWave(fmt16 + Chunk("data", "") + Chunk("LIST", "")),
       "data chunk holds no samples"},
      {RiffWave(fmt16 + Chunk("data", "abc")),
       "data size 3 is not a multiple of the block align 2"},
      {RiffWave(Chunk("fmt ", FmtBody(kPcm, 1, 8000, 8)) +
                RawChunk("data", 0xFFFFFFFE, std::string(100, '\0'))),
       "data chunk is truncated: 4294967294 bytes declared, 100 present"},
      {RiffWave(fmt16 + RawChunk("data", 0xFFFFFFFF, "abc")),
       "data size 3 is not a multiple of the block align 2", 1.0},
      {"RIFF" + Le32(0) + "WAVE" + fmt16 +
           RawChunk("data", 0, std::string(3201, '\0')),
       "data size 3201 is not a multiple of the block align 2", 1.0},
      // Next to espeak-ng's placeholder, a size that only lies.
      {"RIFF" + Le32(0x7FFFF026) + "WAVE" + fmt16 +
           RawChunk("data", 0x7FFFF002, std::string(3200, '\0')),
       "data chunk is truncated: 2147479554 bytes declared, 3200 present"},
      {RiffWave(fmt16 + RawChunk("data", 0xFFFFFFFF, "")),
       "data chunk holds no samples"},
      {RiffWave(fmt16 + RawChunk("data", 200, std::string(101, '\0'))),
       "data chunk is truncated: 200 bytes declared, 101 present", 0.505},
      // All but a byte: progress rounded to nearest would say 1.0.
      {RiffWave(Chunk("fmt ", FmtBody(kPcm, 1, 8000, 8)) +
                RawChunk("data", 2000000, std::string(1999999, '\0'))),
       "data chunk is truncated: 2000000 bytes declared, 1999999 present",
       0.9999},
      // A reader adding sizes in 32 bits would wrap round to the fmt chunk
      // and accept the file.
      {RiffWave(RawChunk("junk", 0xFFFFFFFF, "") + fmt16 + data),
       "file ends inside the 'junk' chunk"},
      {RiffWave(RawChunk("\x01\x02\xFF\xFE", 0xFFFFFFF0, "") + fmt16 + data),
       "file ends inside the chunk 0x0102FFFE"},
      {RiffWave(RawChunk("id3 ", 0xFFFFFFF0, "") + fmt16 + data),
       "file ends inside the 'id3 ' chunk"},
      {RiffWave(fmt16 + RawChunk("LIST", 3, "abc")),
       "file ends inside the 'LIST' chunk"},
  };
  const CTestDir dir;
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.message);
    const std::string audio = dir.Write("audio.wav", row.bytes);
    const TaskPtr task = MakeTask();
    const Json::Value result = ParseText(ConvertTaskStart(
        task.get(), RequestText(audio, dir.modelPath()).c_str()));
    EXPECT_EQ(result["code"], 3);
    EXPECT_EQ(result["message"],
              std::string("audio format invalid: ") + row.message);
    EXPECT_EQ(result["data"], "");
    EXPECT_FALSE(result.isMember("duration"));
    const Json::Value status = ParseText(ConvertTaskStatus(task.get(), ""));
    EXPECT_EQ(status["state"], "failed");
    EXPECT_EQ(status["progress"], row.progress);
  }
}

}  // namespace

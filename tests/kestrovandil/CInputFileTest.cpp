#include "kestrovandil/CInputFile.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <future>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "TaskTesting.h"
#include "kestrovandil/AudioSource.h"

namespace {

#if !defined(_WIN32)

using kestrovandil::CInputFile;

// The path may name something else by the time the open comes: the open
// takes only the regular file that the look saw, and never waits for a
// FIFO's writer. What it opened reads as it is, a read error at once; the
// size is what the audio's progress is measured against.
TEST(CInputFile, OpensOnlyTheRegularFileItLookedAt) {
  const CTestDir dir;
  enum class Swap { kNone, kRemove, kOtherFile, kDirectory, kFifo };
  using Result = CInputFile::OpenResult;
  const struct {
    const char* name;
    std::string path;  // empty: a new file of twelve bytes
    Swap swap;
    Result result;
    std::uint64_t size;
    std::optional<std::string> read;  // the first read of up to 64 bytes
  } kRows[] = {
      {"kept", "", Swap::kNone, Result::kOpened, 12, "twelve bytes"},
      // Regular and seemingly empty; its read at offset 0 fails with EIO.
      {"kernel", "/proc/self/mem", Swap::kNone, Result::kOpened, 0,
       std::nullopt},
      {"removed", "", Swap::kRemove, Result::kNotFound, 0, std::nullopt},
      {"replaced", "", Swap::kOtherFile, Result::kFailed, 0, std::nullopt},
      {"directory", "", Swap::kDirectory, Result::kNotRegular, 0, std::nullopt},
      {"fifo", "", Swap::kFifo, Result::kNotRegular, 0, std::nullopt},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    const std::string path =
        row.path.empty() ? dir.Write(row.name, "twelve bytes") : row.path;
    const CInputFile::PathInfo seen = CInputFile::Look(path);
    ASSERT_EQ(seen.kind, CInputFile::PathInfo::Kind::kRegular);
    std::optional<CFifoWriter> fifo;
    switch (row.swap) {
      case Swap::kNone:
        break;
      case Swap::kRemove:
        std::filesystem::remove(path);
        break;
      case Swap::kOtherFile:
        std::filesystem::rename(dir.Write("other", "other bytes"), path);
        break;
      case Swap::kDirectory:
        std::filesystem::remove(path);
        std::filesystem::create_directory(path);
        break;
      case Swap::kFifo:
        std::filesystem::remove(path);
        fifo.emplace(path);
        break;
    }
    CInputFile file;
    std::future<Result> opened =
        std::async(std::launch::async, [&] { return file.Open(path, seen); });
    const bool prompt =
        opened.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    // An open waiting for a writer returns once one comes.
    if (!prompt && fifo) {
      EXPECT_TRUE(fifo->Open());
    }
    EXPECT_TRUE(prompt) << "the open waited on the pipe";
    ASSERT_EQ(opened.get(), row.result);
    if (row.result != Result::kOpened) continue;
    EXPECT_EQ(file.size(), row.size);
    std::array<char, 64> buffer{};
    const std::optional<std::size_t> got = file.Read(buffer);
    EXPECT_EQ(got ? std::optional<std::string>(std::string(buffer.data(), *got))
                  : std::nullopt,
              row.read);
    kestrovandil::AudioInput audio;
    ASSERT_TRUE(kestrovandil::OpenAudioFile(path, audio).ok());
    EXPECT_EQ(audio.size, row.size);
  }
}

#endif

}  // namespace

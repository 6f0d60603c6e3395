#include "kestrovandil/CInputFile.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "PlatformAnswers.h"
#include "TaskTesting.h"
#include "kestrovandil/AudioSource.h"

namespace {

using kestrovandil::CInputFile;

#if defined(_WIN32)
// A file of twelve bytes whose path runs past 300 characters, in folders
// made in the \\?\ form, which alone reaches that deep; removed the same way
// when the object goes.
class CDeepFile {
 public:
  explicit CDeepFile(const std::filesystem::path& dir) {
    std::wstring path = L"\\\\?\\" + dir.lexically_normal().wstring();
    while (path.size() < 310) {
      path += L"\\folder-to-make-the-path-long";
      folders_.push_back(path);
      EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << GetLastError();
    }
    file_ = path + L"\\f.txt";
    const HANDLE file = CreateFileW(file_.c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "twelve bytes", 12, &written, nullptr));
    CloseHandle(file);
  }
  CDeepFile(const CDeepFile&) = delete;
  CDeepFile& operator=(const CDeepFile&) = delete;
  ~CDeepFile() {
    DeleteFileW(file_.c_str());
    for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder) {
      RemoveDirectoryW(folder->c_str());
    }
  }

  // The path as a caller gives it, without the \\?\ prefix.
  [[nodiscard]] std::string path() const {
    return std::filesystem::path(file_.substr(4)).string();
  }
  // The same file through forward slashes and a detour through . and ..,
  // which the \\?\ form would take literally.
  [[nodiscard]] std::string Unresolved() const {
    std::string detour = path();
    const std::string first = "\\folder-to-make-the-path-long";
    detour.insert(detour.find(first) + first.size(), "\\.." + first + "\\.");
    std::ranges::replace(detour, '\\', '/');
    return detour;
  }

 private:
  std::vector<std::wstring> folders_;
  std::wstring file_;
};
#endif

// The path may name something else by the time the open comes: the open
// takes only the regular file that the look saw, and never waits for a
// FIFO's writer. What it opened reads as it is, a read error at once; the
// size is what the audio's progress is measured against. On Windows, which
// tells a file's identity only through an open handle, the open confirms the
// kind alone; paths past MAX_PATH open there as any other. An open that
// fails for another reason than a missing file, such as a loop of links or a
// file that another process holds without sharing, is a failure. No child
// process inherits what is opened.
TEST(CInputFile, OpensOnlyTheRegularFileItLookedAt) {
  const CTestDir dir;
  enum class Swap {
    kNone,
    kRemove,
    kOtherFile,
    kDirectory,
    kFifo,
    kLoop,
    kLocked
  };
  using Result = CInputFile::OpenResult;
#if defined(_WIN32)
  const CDeepFile deep(dir.path());
#endif
  const struct {
    const char* name;
    std::string path;  // empty: a new file of twelve bytes
    Swap swap;
    Result result;
    std::uint64_t size;
    std::optional<std::string> read;  // the first read of up to 64 bytes
  } kRows[] = {
    {"kept", "", Swap::kNone, Result::kOpened, 12, "twelve bytes"},
#if defined(_WIN32)
    {"deep", deep.path(), Swap::kNone, Result::kOpened, 12, "twelve bytes"},
    {"deep, unresolved", deep.Unresolved(), Swap::kNone, Result::kOpened, 12,
     "twelve bytes"},
    {"locked", "", Swap::kLocked, Result::kFailed, 0, std::nullopt},
#else
    // Regular and seemingly empty; its read at offset 0 fails with EIO.
    {"kernel", "/proc/self/mem", Swap::kNone, Result::kOpened, 0, std::nullopt},
    {"replaced", "", Swap::kOtherFile, Result::kFailed, 0, std::nullopt},
    {"fifo", "", Swap::kFifo, Result::kNotRegular, 0, std::nullopt},
    {"loop", "", Swap::kLoop, Result::kFailed, 0, std::nullopt},
#endif
    {"removed", "", Swap::kRemove, Result::kNotFound, 0, std::nullopt},
    {"directory", "", Swap::kDirectory, Result::kNotRegular, 0, std::nullopt},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    const std::string path =
        row.path.empty() ? dir.Write(row.name, "twelve bytes") : row.path;
    const CInputFile::PathInfo seen = CInputFile::Look(path);
    ASSERT_EQ(seen.kind, CInputFile::PathInfo::Kind::kRegular);
#if defined(_WIN32)
    std::unique_ptr<void, decltype(&CloseHandle)> holder(nullptr, &CloseHandle);
#else
    std::optional<CFifoWriter> fifo;
#endif
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
#if !defined(_WIN32)
        std::filesystem::remove(path);
        fifo.emplace(path);
#endif
        break;
      case Swap::kLoop:
        std::filesystem::remove(path);
        std::filesystem::create_symlink(path, path);
        break;
      case Swap::kLocked:
#if defined(_WIN32)
        holder.reset(CreateFileW(std::filesystem::path(path).c_str(),
                                 GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
        ASSERT_NE(holder.get(), INVALID_HANDLE_VALUE);
#endif
        break;
    }
    CInputFile file;
    std::future<Result> opened =
        std::async(std::launch::async, [&] { return file.Open(path, seen); });
    const bool prompt =
        opened.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
#if !defined(_WIN32)
    // An open waiting for a writer returns once one comes.
    if (!prompt && fifo) {
      EXPECT_TRUE(fifo->Open());
    }
#endif
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
    EXPECT_TRUE(HeldOpen(path));
    EXPECT_FALSE(InheritedByChildren(path));
  }
}

}  // namespace

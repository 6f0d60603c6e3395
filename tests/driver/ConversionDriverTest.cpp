// The built program, started as a child process from a directory of the
// test's own, with the stand-in library beside it or with a recording one.

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

// GCC names ThreadSanitizer by a macro, clang by a feature test.
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
constexpr bool kThreadSanitizer = __has_feature(thread_sanitizer);
#else
constexpr bool kThreadSanitizer = false;
#endif

struct ProgramRun {
  int exitStatus = -1;  // -1 when it ended by a signal or had to be killed
  int signal = 0;
  std::string err;
  std::string log;  // the recording library's lines
};

enum class Output { kPipe, kPipeWithoutReader, kFile };

struct Launch {
  fs::path program;
  fs::path directory;
  Output output = Output::kPipe;
  std::optional<rlim_t> fileSizeLimit;
};

// Everything a pipe holds once its writers are gone.
std::string Drain(int fd) {
  std::string text;
  std::array<char, 4096> buffer{};
  for (;;) {
    const ssize_t got = read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buffer.data(), static_cast<std::size_t>(got));
  }
  close(fd);
  return text;
}

// Starts the program with no arguments and an empty environment (but for
// the recording library's descriptor), and waits for it for a minute at
// most: a program that hangs is killed and fails the test.
ProgramRun RunProgram(const Launch& launch, std::string* out) {
  int outPipe[2], errPipe[2], logPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0 || pipe(logPipe) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return {};
  }
  const fs::path outFile = launch.directory / "stdout.txt";
  const std::string logVariable =
      "CONVERSION_TEST_LOG_FD=" + std::to_string(logPipe[1]);
  const std::string program = launch.program.string();
  const pid_t child = fork();
  if (child == 0) {
    // Only async-signal-safe calls from here to exec.
    int stdoutFd = outPipe[1];
    if (launch.output == Output::kFile) {
      stdoutFd = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    const int nullFd = open("/dev/null", O_RDONLY);
    if (chdir(launch.directory.c_str()) != 0 || stdoutFd < 0 || nullFd < 0 ||
        dup2(nullFd, 0) < 0 || dup2(stdoutFd, 1) < 0 ||
        dup2(errPipe[1], 2) < 0) {
      _exit(127);
    }
    if (launch.fileSizeLimit) {
      const rlimit limit{*launch.fileSizeLimit, *launch.fileSizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    close(outPipe[0]);
    close(errPipe[0]);
    close(logPipe[0]);
    char* const argv[] = {const_cast<char*>(program.c_str()), nullptr};
    char* const envp[] = {const_cast<char*>(logVariable.c_str()), nullptr};
    execve(program.c_str(), argv, envp);
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  close(logPipe[1]);
  if (launch.output == Output::kPipeWithoutReader) close(outPipe[0]);

  ProgramRun run;
  int status = 0;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      ADD_FAILURE() << "the program did not end within a minute";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  const std::string written =
      launch.output == Output::kPipeWithoutReader ? "" : Drain(outPipe[0]);
  if (out != nullptr) {
    *out = written;
    if (launch.output == Output::kFile) {
      std::ifstream file(outFile, std::ios::binary);
      out->assign(std::istreambuf_iterator<char>(file), {});
    }
  }
  run.err = Drain(errPipe[0]);
  run.log = Drain(logPipe[0]);
  return run;
}

class ConversionDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = fs::temp_directory_path() /
                 ("conversion-driver-test-" + std::to_string(::getpid()));
    fs::remove_all(directory_);
    fs::create_directories(directory_);
  }
  void TearDown() override { fs::remove_all(directory_); }

  // The program beside the recording library, in a folder of its own.
  fs::path RecordingProgram() const {
    const fs::path folder = directory_ / "recording";
    fs::create_directories(folder);
    fs::copy_file(CONVERSION_DRIVER_PATH, folder / "conversion-driver");
    fs::copy_file(CONVERSION_RECORDING_LIBRARY_PATH,
                  folder / "Kestrovandil.node");
    return folder / "conversion-driver";
  }

  fs::path directory_;
};

TEST_F(ConversionDriver, PrintsOneEmptyLineAndSucceeds) {
  std::string out;
  const ProgramRun run =
      RunProgram({CONVERSION_DRIVER_PATH, directory_, Output::kPipe, {}}, &out);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(out, "\n");
  EXPECT_EQ(run.err, "");
}

// The program's audio path, relative on POSIX, named by a FIFO that nobody
// writes: the library refuses it at once, and the run ends as usual.
TEST_F(ConversionDriver, EndsAtOnceWhenTheAudioIsAFifo) {
  const fs::path fifo = directory_ / "D:\\Common\\Destkop\\test.wav";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
  std::string out;
  const ProgramRun run =
      RunProgram({CONVERSION_DRIVER_PATH, directory_, Output::kPipe, {}}, &out);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(out, "\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(ConversionDriver, DoesNotStartWithoutTheLibraryBesideIt) {
  const fs::path moved = directory_ / "conversion-driver";
  fs::copy_file(CONVERSION_DRIVER_PATH, moved);
  std::string out;
  const ProgramRun run =
      RunProgram({moved, directory_, Output::kPipe, {}}, &out);
  EXPECT_NE(run.exitStatus, 0);
  EXPECT_EQ(out, "");
  EXPECT_NE(run.err.find("Kestrovandil.node"), std::string::npos) << run.err;
}

// Standard output that cannot take the line ends the run by its failure
// path, not by a signal: the task released once, one line on standard
// error, status 1.
TEST_F(ConversionDriver, UnwritableOutputEndsWithStatusOne) {
  const fs::path program = RecordingProgram();
  const struct {
    const char* name;
    Launch launch;
  } kRows[] = {
      {"a pipe whose reader has gone",
       {program, directory_, Output::kPipeWithoutReader, std::nullopt}},
      {"a file-size limit of 0", {program, directory_, Output::kFile, 0}},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    // ThreadSanitizer's runtime writes a file before main, and dies of the
    // limit there; the other presets check the program itself.
    if (kThreadSanitizer && row.launch.fileSizeLimit) continue;
    std::string out;
    const ProgramRun run = RunProgram(row.launch, &out);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(run.err,
              "conversion-driver: the conversion run failed: cannot write to "
              "standard output\n");
    // A status call may come between, if the start is not back before the
    // first poll.
    EXPECT_TRUE(run.log.starts_with("create\nstart\n")) << run.log;
    EXPECT_TRUE(run.log.ends_with("\nrelease\n")) << run.log;
    EXPECT_EQ(run.log.find("release"), run.log.rfind("release")) << run.log;
  }
}

}  // namespace

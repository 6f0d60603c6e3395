#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int exitStatus;
  std::string out;
  std::string err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

// Runs the program from `directory` with no arguments and an empty
// environment, capturing both output streams.
ProgramRun RunProgram(const fs::path& program, const fs::path& directory) {
  const fs::path out = directory / "stdout.txt";
  const fs::path err = directory / "stderr.txt";
  const std::string command = "cd '" + directory.string() + "' && env -i '" +
                              program.string() + "' </dev/null >'" +
                              out.string() + "' 2>'" + err.string() + "'";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out),
          ReadFile(err)};
}

class ConversionDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = fs::temp_directory_path() /
                 ("conversion-driver-test-" + std::to_string(::getpid()));
    fs::create_directories(directory_);
  }
  void TearDown() override { fs::remove_all(directory_); }

  fs::path directory_;
};

TEST_F(ConversionDriver, PrintsOneEmptyLineAndSucceeds) {
  const ProgramRun run = RunProgram(CONVERSION_DRIVER_PATH, directory_);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out, "\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(ConversionDriver, DoesNotStartWithoutTheLibraryBesideIt) {
  const fs::path moved = directory_ / "conversion-driver";
  fs::copy_file(CONVERSION_DRIVER_PATH, moved);
  const ProgramRun run = RunProgram(moved, directory_);
  EXPECT_NE(run.exitStatus, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("Kestrovandil.node"), std::string::npos) << run.err;
}

}  // namespace

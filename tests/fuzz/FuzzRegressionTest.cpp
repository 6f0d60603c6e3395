// Replays the kept inputs of one fuzz target through its
// LLVMFuzzerTestOneInput, built without libFuzzer by the ordinary presets:
// the inputs that once broke it (fuzz/regressions/<target>/) and its seed
// corpus (fuzz/corpus/<target>/). The folders are read when the test runs,
// so a newly kept input needs no rebuild. A broken property aborts the
// process; the input's path is printed first so the log names it. With no
// failures kept, their replay reports itself skipped, not passed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "WineDeviation.h"
#include "tests/support/Wine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size);

namespace {

// CONVERSION_FUZZ_DIR, CONVERSION_FUZZ_TARGET and CONVERSION_FUZZ_SUITE (the
// target's file name, so that the four executables' tests differ in name)
// come from tests/fuzz/CMakeLists.txt.
std::filesystem::path InputFolder(const char* kind) {
  return std::filesystem::path(CONVERSION_FUZZ_DIR) / kind /
         CONVERSION_FUZZ_TARGET;
}

// The regular files in folder, by name; none when it does not exist.
std::vector<std::filesystem::path> InputsIn(
    const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> inputs;
  if (!std::filesystem::is_directory(folder)) return inputs;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

// The target's checks abort on a broken property, and its return value
// means nothing (libFuzzer requires 0), so what a replay itself can get wrong
// is the input it passes: it must be the whole file.
std::string ReadInput(const std::filesystem::path& input) {
  std::ifstream file(input, std::ios::binary);
  EXPECT_TRUE(file.is_open()) << input.string();
  std::string bytes{std::istreambuf_iterator<char>(file),
                    std::istreambuf_iterator<char>()};
  EXPECT_FALSE(file.bad()) << input.string();
  EXPECT_EQ(bytes.size(), std::filesystem::file_size(input)) << input.string();
  return bytes;
}

// Replays every input, but under Wine those on which Wine itself differs
// from Windows; the test then reports itself skipped, naming them and the
// difference.
void ReplayAll(const std::vector<std::filesystem::path>& inputs) {
  const bool underWine = testing_support::RunningUnderWine();
  std::string skipped;
  std::string_view deviation;
  for (const auto& input : inputs) {
    const std::string bytes = ReadInput(input);
    if (::testing::Test::HasFailure()) return;
    if (underWine && !WineDeviationOn(bytes).empty()) {
      deviation = WineDeviationOn(bytes);
      skipped += " " + input.filename().string();
      continue;
    }
    std::fprintf(stderr, "replaying %s\n", input.string().c_str());
    static_cast<void>(LLVMFuzzerTestOneInput(
        reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  }
  if (!skipped.empty()) {
    GTEST_SKIP() << deviation << "; not replayed under Wine:" << skipped;
  }
}

TEST(CONVERSION_FUZZ_SUITE, ReplaysInputsThatOnceFailed) {
  const std::filesystem::path folder = InputFolder("regressions");
  const std::vector<std::filesystem::path> inputs = InputsIn(folder);
  // No target has failed yet, or none of its failures was kept.
  if (inputs.empty()) GTEST_SKIP() << "nothing kept in " << folder;
  ReplayAll(inputs);
}

TEST(CONVERSION_FUZZ_SUITE, ReplaysSeedCorpus) {
  const std::vector<std::filesystem::path> inputs =
      InputsIn(InputFolder("corpus"));
  // An empty list would mean a wrong folder, not a clean run.
  ASSERT_FALSE(inputs.empty()) << InputFolder("corpus");
  ReplayAll(inputs);
}

}  // namespace

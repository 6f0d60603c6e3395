#ifndef CONVERSION_TESTS_KESTROVANDIL_PLATFORMANSWERS_H_
#define CONVERSION_TESTS_KESTROVANDIL_PLATFORMANSWERS_H_

#include <cstddef>
#include <string>
#include <vector>

// Where the platforms answer the same question differently, each platform's
// file gives its own answer.

// The start of the message for an audio path holding a '"': a file that
// does not exist on POSIX, a name that Windows does not allow.
extern const char kQuotedAudioPathAnswer[];

// Whether the process holds the file open. Throws when it cannot tell.
[[nodiscard]] bool HeldOpen(const std::string& path);

// Writable bytes that end right before a page that faults when touched, so
// that reading past them is a crash rather than a quiet success.
class CBytesBeforeGuardPage {
 public:
  // Throws std::system_error when the pages cannot be had.
  explicit CBytesBeforeGuardPage(std::size_t size);
  CBytesBeforeGuardPage(const CBytesBeforeGuardPage&) = delete;
  CBytesBeforeGuardPage& operator=(const CBytesBeforeGuardPage&) = delete;
  ~CBytesBeforeGuardPage();

  [[nodiscard]] char* data() const noexcept { return data_; }

 private:
  void* pages_ = nullptr;
  std::size_t pagesSize_ = 0;
  char* data_ = nullptr;
};

// Whether a child process started now would inherit a descriptor or handle
// that the process holds onto the file. Throws when it cannot tell.
[[nodiscard]] bool InheritedByChildren(const std::string& path);

// The descriptors that the process holds, in ascending order; none on
// Windows (see its file).
[[nodiscard]] std::vector<int> OpenDescriptors();

// Opens descriptor 0 where the process has it closed (under ctest standard
// input may be), so that a file object that closes it shows; nothing on
// Windows, whose handles have no such number. Throws when it cannot.
void HoldDescriptorZero();

// A regular file whose size is not 0 but whose first read gives no byte, or
// "" when the machine has none.
[[nodiscard]] std::string FileThatReadsNothing();

#endif  // CONVERSION_TESTS_KESTROVANDIL_PLATFORMANSWERS_H_

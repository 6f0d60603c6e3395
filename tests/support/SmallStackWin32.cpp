// RunOnStackOf with a Windows thread that reserves the stack size asked for.

#include <process.h>
#include <windows.h>

#include <cerrno>
#include <exception>
#include <functional>
#include <system_error>

#include "tests/support/SmallStack.h"

namespace {

struct Job {
  const std::function<void()>* body;
  std::exception_ptr error;
};

unsigned __stdcall Run(void* argument) {
  Job& job = *static_cast<Job*>(argument);
  try {
    (*job.body)();
  } catch (...) {
    job.error = std::current_exception();
  }
  return 0;
}

}  // namespace

void RunOnStackOf(std::size_t bytes, const std::function<void()>& body) {
  Job job{&body, nullptr};
  // A reservation, as the linker's default of 1 MiB is, rather than memory
  // committed up front.
  const auto thread = reinterpret_cast<HANDLE>(
      _beginthreadex(nullptr, static_cast<unsigned>(bytes), Run, &job,
                     STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (thread == nullptr) {
    throw std::system_error(errno, std::generic_category(),
                            "starting a thread with a stack of its own size");
  }
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  if (job.error) std::rethrow_exception(job.error);
}

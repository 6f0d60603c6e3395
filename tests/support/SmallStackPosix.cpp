// RunOnStackOf with a POSIX thread of the stack size asked for.

#include <pthread.h>

#include <exception>
#include <functional>
#include <system_error>

#include "tests/support/SmallStack.h"

namespace {

struct Job {
  const std::function<void()>* body;
  std::exception_ptr error;
};

void* Run(void* argument) {
  Job& job = *static_cast<Job*>(argument);
  try {
    (*job.body)();
  } catch (...) {
    job.error = std::current_exception();
  }
  return nullptr;
}

}  // namespace

void RunOnStackOf(std::size_t bytes, const std::function<void()>& body) {
  pthread_attr_t attributes;
  int error = pthread_attr_init(&attributes);
  if (error != 0) {
    throw std::system_error(error, std::generic_category(),
                            "pthread_attr_init");
  }
  Job job{&body, nullptr};
  pthread_t thread;
  error = pthread_attr_setstacksize(&attributes, bytes);
  if (error == 0) error = pthread_create(&thread, &attributes, Run, &job);
  pthread_attr_destroy(&attributes);
  if (error != 0) {
    throw std::system_error(error, std::generic_category(),
                            "starting a thread with a stack of its own size");
  }
  pthread_join(thread, nullptr);
  if (job.error) std::rethrow_exception(job.error);
}

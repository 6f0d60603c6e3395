// A Kestrovandil.node for the end-to-end tests of the program: it converts
// nothing and writes the name of each call, one line each, to the file
// descriptor that CONVERSION_TEST_LOG_FD names. A descriptor rather than a
// file, so that the log survives a process whose file-size limit is 0.

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "driver/ConvertTask.h"

namespace {

int g_task;

void Log(const char* line) {
  const char* fd = std::getenv("CONVERSION_TEST_LOG_FD");
  if (fd == nullptr) return;
  [[maybe_unused]] const ssize_t written =
      write(std::atoi(fd), line, std::strlen(line));
}

}  // namespace

TaskHandle ConvertTaskCreate(void) {
  Log("create\n");
  return reinterpret_cast<TaskHandle>(&g_task);
}

const char* ConvertTaskStart(TaskHandle, const char*) {
  Log("start\n");
  return "{}";
}

const char* ConvertTaskStatus(TaskHandle, const char*) {
  Log("status\n");
  return "{}";
}

void ConvertTaskRelease(TaskHandle) { Log("release\n"); }

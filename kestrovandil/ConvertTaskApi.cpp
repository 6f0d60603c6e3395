// The C boundary: argument checks first, then a catch-all, so that no
// exception ever unwinds into a C caller.

#include "kestrovandil/ConvertTaskApi.h"

#include <new>

#include "kestrovandil/CConversionTask.h"
#include "kestrovandil/ResultText.h"

struct ConvertTask {
  kestrovandil::CConversionTask task;
};

TaskHandle ConvertTaskCreate(void) {
  try {
    return new (std::nothrow) ConvertTask;
  } catch (...) {
    return nullptr;
  }
}

const char* ConvertTaskStart(TaskHandle task, const char* request) {
  if (task == nullptr) return kestrovandil::kNullHandleStartText;
  try {
    return task->task.Start(request);
  } catch (...) {
    return kestrovandil::kInternalErrorStartText;
  }
}

const char* ConvertTaskStatus(TaskHandle task, const char* /*query*/) {
  if (task == nullptr) return kestrovandil::kNullHandleStatusText.data();
  try {
    return task->task.Status();
  } catch (...) {
    return kestrovandil::kInternalErrorStatusText.data();
  }
}

void ConvertTaskRelease(TaskHandle task) { delete task; }

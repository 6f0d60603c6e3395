#pragma once

// The C interface of the conversion-task library, Kestrovandil.node, which
// the program binds at load time. With C linkage any build of the library
// that exports these four names can stand behind the program; this is what
// such a build must meet:
// - ConvertTaskStart runs one conversion and returns when it has ended: its
//   return is the caller's only sign that the conversion is over.
// - ConvertTaskStatus may run on another thread while ConvertTaskStart runs
//   on the same task, and may come once more after the start has returned.
// - Texts passed in are read only during the call. Returned texts stay the
//   library's: the caller never frees them (nor, here, reads them), and a
//   null result is acceptable.
// - Whatever ConvertTaskCreate returns, null included, is passed to the
//   other three unchanged.
// - ConvertTaskRelease comes when no other call on the task is in progress;
//   nothing uses the handle afterwards.
// Our stand-in's own promises (its texts, codes and lifetimes) are in
// kestrovandil/ConvertTaskApi.h.

// On Windows the library's own code exports the four functions
// (KESTROVANDIL_BUILDING), code that is linked with their definitions in the
// same executable calls them directly (KESTROVANDIL_IN_PROCESS: the library's
// objects linked statically, or a fake), and all other code imports them from
// the DLL. The CMake targets set both definitions.
#if defined(_WIN32)
#if defined(KESTROVANDIL_BUILDING)
#define KESTROVANDIL_API __declspec(dllexport)
#elif defined(KESTROVANDIL_IN_PROCESS)
#define KESTROVANDIL_API
#else
#define KESTROVANDIL_API __declspec(dllimport)
#endif
#else
#define KESTROVANDIL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ConvertTask* TaskHandle;

// A new task.
KESTROVANDIL_API TaskHandle ConvertTaskCreate(void);

// Runs one conversion of the request, NUL-terminated UTF-8 JSON whose
// members "file_path", "model_path", "lang" and "prompt" are strings. The
// result is JSON text whose "data" is the transcript.
KESTROVANDIL_API const char* ConvertTaskStart(TaskHandle task,
                                              const char* request);

// The task's state as text; the program's query is the empty string.
KESTROVANDIL_API const char* ConvertTaskStatus(TaskHandle task,
                                               const char* query);

// Frees the task.
KESTROVANDIL_API void ConvertTaskRelease(TaskHandle task);

#ifdef __cplusplus
}  // extern "C"
#endif

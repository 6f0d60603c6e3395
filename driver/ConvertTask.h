#pragma once

// The C interface of the conversion-task library, Kestrovandil.node, which
// the program binds at load time. With C linkage any build of the library
// that exports these four names can stand behind the program. Our stand-in
// (kestrovandil/) reads one RIFF/WAVE audio file and checks the recognition
// model file that a request names; it recognises no speech, so its
// transcript is always the empty text.
//
// Conventions (the program itself relies only on (1), (4) and (5) and never
// reads a returned text):
// (1) Every returned text is NUL-terminated compact UTF-8 JSON with a numeric
//     "code" (0 means success) and is owned by the library: never free it.
//     A ConvertTaskStart result stays valid until the task is released; a
//     ConvertTaskStatus result until the next ConvertTaskStatus call on the
//     same task or the task's release. Texts for a null handle, a refused
//     start and an internal error are static and stay valid for good.
// (2) A null TaskHandle is accepted everywhere: ConvertTaskStart and
//     ConvertTaskStatus answer with code 6, ConvertTaskRelease does nothing.
// (3) No function throws, aborts or returns a null text; every failure is
//     reported through the text's "code" and "message".
// (4) Threads: ConvertTaskStart runs the whole conversion on the caller's
//     thread. ConvertTaskStatus may run at the same time on another thread,
//     but not at the same time as another ConvertTaskStatus on the same task.
//     A ConvertTaskStart that overlaps a running one on the same task is
//     refused at once with code 5. ConvertTaskRelease only when no other call
//     on the task is in progress; the handle is dead afterwards.
// (5) Texts passed in are read only during the call.

#if defined(_WIN32)
#if defined(KESTROVANDIL_BUILDING)
#define KESTROVANDIL_API __declspec(dllexport)
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

// An idle task, or null when memory is exhausted.
KESTROVANDIL_API TaskHandle ConvertTaskCreate(void);

// Runs one conversion and returns when it has ended. The request is a JSON
// object whose members "file_path", "model_path", "lang" and "prompt" are
// strings; paths are used as given. A null request is a bad request. The
// result's "data" is the transcript; on success the result also describes
// the audio ("duration", "sample_rate", "channels", "bits_per_sample",
// "format").
KESTROVANDIL_API const char* ConvertTaskStart(TaskHandle task,
                                              const char* request);

// The task's "state" ("idle", "converting", "done" or "failed") and
// "progress" (0 to 1: the share of the audio's samples read by the latest
// start). The query is ignored and may be null.
KESTROVANDIL_API const char* ConvertTaskStatus(TaskHandle task,
                                               const char* query);

// Frees the task and every text it returned.
KESTROVANDIL_API void ConvertTaskRelease(TaskHandle task);

#ifdef __cplusplus
}  // extern "C"
#endif

#pragma once

// Our stand-in for the conversion-task library: the four functions of
// driver/ConvertTask.h, and what this build promises beyond what the program
// relies on. It reads one RIFF/WAVE audio file and checks the recognition
// model file that a request names; it recognises no speech, so its
// transcript is always the empty text.
//
// (1) Every returned text is NUL-terminated compact UTF-8 JSON with a numeric
//     "code" (0 means success, see ResultCode in kestrovandil/CStatus.h) and
//     is owned by the library: never free it. A ConvertTaskStart result stays
//     valid until the next ConvertTaskStart on the same task or the task's
//     release; a ConvertTaskStatus result until the next ConvertTaskStatus
//     call on the same task or the task's release. Texts for a null handle,
//     a refused start and an internal error are static and stay valid for
//     good.
// (2) A null TaskHandle is accepted everywhere: ConvertTaskStart and
//     ConvertTaskStatus answer with code 6, ConvertTaskRelease does nothing.
//     ConvertTaskCreate returns null only when memory is exhausted.
// (3) No function throws, aborts or returns a null text; every failure is
//     reported through the text's "code" and "message". Running out of
//     memory or another internal failure is code 7.
// (4) Threads: ConvertTaskStart runs the whole conversion on the caller's
//     thread. ConvertTaskStatus may run at the same time on another thread,
//     but not at the same time as another ConvertTaskStatus on the same task.
//     A ConvertTaskStart that overlaps a running one on the same task is
//     refused at once with code 5. ConvertTaskRelease only when no other call
//     on the task is in progress; the handle is dead afterwards.
// (5) A start checks the request (at most kMaxRequestBytes, see
//     kestrovandil/RequestParser.h), opens the audio file, checks the model
//     file, then reads the audio (kestrovandil/WavReader.h). A path is
//     looked at before it is opened: anything but a regular file is refused
//     at once, unopened (kestrovandil/CInputFile.h). On success the result
//     also describes the audio ("duration", "sample_rate", "channels",
//     "bits_per_sample", "format").
// (6) A status text gives the task's "state" ("idle", "converting", "done"
//     or "failed") and "progress" (0 to 1: the share of the audio's samples
//     read by the latest start). The query is ignored and may be null.

#include "driver/ConvertTask.h"  // IWYU pragma: export

#pragma once

// Makes a failed write to standard output an error that the run reports,
// rather than a signal that ends the process before the task is released:
// a pipe whose reader has gone (SIGPIPE) and a file-size limit (SIGXFSZ) on
// POSIX. The program starts no other process, so this holds for the whole
// process. Call once, first thing in main.
void IgnoreOutputSignals();

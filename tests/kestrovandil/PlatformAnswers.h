#ifndef CONVERSION_TESTS_KESTROVANDIL_PLATFORMANSWERS_H_
#define CONVERSION_TESTS_KESTROVANDIL_PLATFORMANSWERS_H_

// Where the platforms' file systems answer the same path differently, the
// stand-in's message differs too; each platform's file gives its own.

// The start of the message for an audio path holding a '"': a file that
// does not exist on POSIX, a name that Windows does not allow.
extern const char kQuotedAudioPathAnswer[];

#endif  // CONVERSION_TESTS_KESTROVANDIL_PLATFORMANSWERS_H_

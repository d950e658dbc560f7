// The library's one shared log and its fatal path. Every class streams its messages into one
// fixed 2048-byte log that keeps only the latest message; a failed check ends in audioFatal,
// which hands the formatted text to the video library's Announcement and leaves the library.
//
// Leaving: inside the library a fatal error travels as a private exception, so that no C++ frame
// is skipped by a long jump. Every exported function catches it at its boundary (audioExport)
// and only there jumps to the caller's registered target, or ends the process with code 1.
#pragma once
#include <csetjmp>
#include <type_traits>
#include <ostream>

// Starts a message: rewinds the log and returns it for streaming.
std::ostream& audioLog();
// The latest message (NUL-terminated, at most 2047 bytes).
const char* audioLogText();

// Tests: called with each message when the next one starts (the log itself keeps only the
// latest). Null removes the observer.
void audioSetLogObserver(void (*observer)(const char* message));

// The formatted text of the latest fatal error ("" before the first).
const char* audioFatalText();

// Thrown by audioFatal; caught only at the export boundary (and by tests).
struct audioFatalError {};

// Formats "FATAL ERROR in file %s, line %u:\n %s\n" with the log text, hands it (cut to 1023
// bytes) to Announcement and raises audioFatalError.
[[noreturn]] void audioFatal(const char* file, unsigned line);
// The same text as "File %s, line %u:\n %s\n", handed to Announcement; execution continues.
void audioReport(const char* file, unsigned line);

// Streams a message into the log and fails: AUDIO_FATAL("adpcmMono::Bogus initial index " << n).
#define AUDIO_FATAL(message)                 \
    do {                                     \
        audioLog() << message;               \
        audioFatal(__FILE__, __LINE__);      \
    } while (0)

// A destructor cannot let the error out: it notes it here, finishes its cleanup, and the export
// boundary leaves the library afterwards.
void audioNoteFatalInDestructor();

// The registered jump target (null: end the process).
std::jmp_buf* audioJumpTarget();
void audioSetJumpTarget(std::jmp_buf* target);

// Leaves the library after a fatal error: long jump to the target with 1, or the text on stderr
// and exit code 1. Called only from an export frame that holds no objects.
[[noreturn]] void audioLeave();
bool audioFatalPending();

// Runs one export's body; a fatal error inside it leaves the library as specified.
void audioClearFatalPending();

template <class F>
auto audioExport(F&& body) -> decltype(body()) {
    using R = decltype(body());
    bool failed = false;
    audioClearFatalPending();  // a note left by a destructor outside any export is stale
    if constexpr (std::is_void_v<R>) {
        try {
            body();
        } catch (const audioFatalError&) {
            failed = true;
        }
        if (failed || audioFatalPending())
            audioLeave();
    } else {
        R result{};
        try {
            result = body();
        } catch (const audioFatalError&) {
            failed = true;
        }
        if (failed || audioFatalPending())
            audioLeave();
        return result;
    }
}

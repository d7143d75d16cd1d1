#ifndef TREL_LOG_H
#define TREL_LOG_H

#include <cstdarg>
#include <cstdio>
#include <string>

#include "base/TrelExport.h"

#if defined(__GNUC__)
#define TREL_PRINTF(fmtIndex, firstArg) __attribute__((format(printf, fmtIndex, firstArg)))
#else
#define TREL_PRINTF(fmtIndex, firstArg)
#endif

// The engine's log: a text file with every message copied to standard output, both flushed
// after each message so that the log survives a crash or a signal. Messages begin with "\n"
// rather than ending with one. Errors are reported by level: 0 is fatal (logged, shown, exit
// status 1), 1 an error, 2 a warning; other levels do nothing. Held as TrelSystem::log; every
// module that reports is handed this log instead of the system.
class TREL_API TrelLog {
public:
    // Opens the file (mode "wt"). When it cannot be created, a line on standard error says
    // why and the log goes to standard output alone.
    explicit TrelLog(const char* fileName);
    // Leaves the file open for the runtime to close: the last lines of a shutdown may be
    // written by members destroyed after the log's owner has run its destructor.
    ~TrelLog() = default;

    TrelLog(const TrelLog&) = delete;
    TrelLog& operator=(const TrelLog&) = delete;

    // Closes the file and opens another in its place (mode "wt"); false, logging to standard
    // output alone, when it cannot be created. For tests and tools that move their log.
    bool reopen(const char* fileName);
    // Null when the file could not be created.
    std::FILE* getFile() { return file; }

    // The text verbatim: a % in it has no special meaning.
    void print(const char* text);
    void printf(const char* format, ...) TREL_PRINTF(2, 3);
    // Logs the message in the form of its level, has the display show it (a message box once
    // Allegro runs), and for level 0 ends the process with status 1 (static destructors run).
    void error(int level, const char* format, ...) TREL_PRINTF(3, 4);
    // Logs a warning as error(2, ...) does, without showing it: for conditions the game
    // carries on through, such as having no sound.
    void warn(const char* format, ...) TREL_PRINTF(2, 3);
    void errorV(int level, const char* format, va_list args);
    void warnV(const char* format, va_list args);

    // What shows errors to the player; the platform interface sets it while Allegro runs and
    // clears it (null) before Allegro stops. Without one, errors are only logged.
    using DisplayFunction = void (*)(int level, const char* message, void* user);
    void setDisplay(DisplayFunction function, void* user) {
        display = function;
        displayUser = user;
    }

    // True keeps the log off standard output, for games whose tests print there; the file
    // still gets every message (without a file, standard output does all the same).
    void setQuiet(bool q) { quiet = q; }
    bool getQuiet() { return quiet; }

    // printf-style formatting into a string that grows to fit, so no message is ever cut.
    static std::string format(const char* format, va_list args);

private:
    void open(const char* fileName);

    std::FILE* file = nullptr; // owned; left open at destruction (see above)
    bool quiet = false;
    DisplayFunction display = nullptr;
    void* displayUser = nullptr;
};

#endif

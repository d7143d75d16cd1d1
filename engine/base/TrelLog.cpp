#include "base/TrelLog.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

TrelLog::TrelLog(const char* fileName) {
    open(fileName);
}

void TrelLog::open(const char* fileName) {
    file = std::fopen(fileName, "wt");
    if (file == nullptr) {
        std::fprintf(stderr,
                     "Varnak: could not create \"%s\" (%s); the log goes to standard output "
                     "only.\n",
                     fileName, std::strerror(errno));
    }
}

bool TrelLog::reopen(const char* fileName) {
    if (file != nullptr)
        std::fclose(file);
    open(fileName);
    return file != nullptr;
}

std::string TrelLog::format(const char* format, va_list args) {
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0)
        return std::string();
    if (static_cast<std::size_t>(needed) < sizeof small)
        return std::string(small, static_cast<std::size_t>(needed));
    std::string big(static_cast<std::size_t>(needed) + 1, '\0');
    std::vsnprintf(&big[0], big.size(), format, args);
    big.resize(static_cast<std::size_t>(needed));
    return big;
}

void TrelLog::print(const char* text) {
    if (file != nullptr) {
        std::fputs(text, file);
        std::fflush(file);
    }
    if (!quiet || file == nullptr) {
        std::fputs(text, stdout);
        // Flushed as the file is: a game ended by a signal loses no line of its output.
        std::fflush(stdout);
    }
}

void TrelLog::printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = TrelLog::format(format, args);
    va_end(args);
    print(text.c_str());
}

void TrelLog::error(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    errorV(level, format, args);
    va_end(args);
}

void TrelLog::errorV(int level, const char* format, va_list args) {
    std::string message = TrelLog::format(format, args);
    switch (level) {
    case 0:
        printf("\n!!ENCOUNTERED A FATAL ERROR!!\n%s\n\nNow aborting!\n", message.c_str());
        break;
    case 1:
        printf("\nERROR! %s\n", message.c_str());
        break;
    case 2:
        printf("\nWARNING: %s\n", message.c_str());
        break;
    default:
        break;
    }
    if (display != nullptr)
        display(level, message.c_str(), displayUser);
    if (level == 0)
        std::exit(1); // static destructors run: the log's owner logs its shutdown on the way out
}

void TrelLog::warn(const char* format, ...) {
    va_list args;
    va_start(args, format);
    warnV(format, args);
    va_end(args);
}

void TrelLog::warnV(const char* format, va_list args) {
    std::string message = TrelLog::format(format, args);
    printf("\nWARNING: %s\n", message.c_str());
}

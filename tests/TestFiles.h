#ifndef TREL_TEST_FILES_H
#define TREL_TEST_FILES_H

#include <string>

// A whole file's bytes, or "" when it cannot be read.
std::string readFile(const std::string& path);
// Writes the bytes as the whole file and returns its path; a file that cannot be written ends
// the program, as no test can go on without its input.
std::string writeFile(const std::string& path, const std::string& bytes);

#endif

#ifndef TREL_TEST_SUPPORT_H
#define TREL_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestFiles.h"

// Runs each test in a fresh temporary directory, where TrelSystem creates its "log.txt".
class InTempDir : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string dir;

private:
    std::string previousDir;
};

std::string readLog(); // "log.txt" of the working directory

// True when every piece occurs in text, in this order and without overlapping.
::testing::AssertionResult containsInOrder(const std::string& text,
                                           const std::vector<std::string>& pieces);

bool endsWith(const std::string& text, const std::string& tail);

// Runs a shell command and returns its standard output.
std::string runCommand(const std::string& command);

#endif

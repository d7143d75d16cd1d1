#include "TestSupport.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

void InTempDir::SetUp() {
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    previousDir = cwd;
    char pattern[] = "/tmp/trel-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    ASSERT_EQ(chdir(dir.c_str()), 0);
}

void InTempDir::TearDown() {
    if (!previousDir.empty()) {
        EXPECT_EQ(chdir(previousDir.c_str()), 0);
    }
    if (!dir.empty()) {
        EXPECT_EQ(std::system(("rm -rf '" + dir + "'").c_str()), 0);
    }
}

std::string readLog() {
    return readFile("log.txt");
}

::testing::AssertionResult containsInOrder(const std::string& text,
                                           const std::vector<std::string>& pieces) {
    std::size_t at = 0;
    for (const std::string& piece : pieces) {
        std::size_t found = text.find(piece, at);
        if (found == std::string::npos) {
            return ::testing::AssertionFailure()
                   << "missing, in order after offset " << at << ": \"" << piece << "\"\nin:\n"
                   << text;
        }
        at = found + piece.size();
    }
    return ::testing::AssertionSuccess();
}

std::string runCommand(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[256];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
            output.append(chunk, n);
        pclose(pipe);
    }
    return output;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

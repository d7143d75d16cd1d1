#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <cstdlib>
#include <ctime>
#include <string>

#include "TestSupport.h"
#include "core/TrelSystem.h"

namespace {

const char* const kShutdownTail = "\n\nSystem shutdown.\n"
                                  "\nFreeing sprite resources..."
                                  "\nBegin interface deinit";

std::string bannerFor(std::time_t when) {
    std::string started = std::asctime(std::localtime(&when));
    started.pop_back(); // asctime ends with a line break
    const std::string rule = "\n==================================================";
    return rule + "\nVarnak Engine v0.0.7.6 Pre-alpha" + "\nLog started: " + started + rule;
}

} // namespace

using SystemLog = InTempDir;

TEST_F(SystemLog, ConstructionWritesOnlyTheBannerAndSetsDefaults) {
    std::time_t before = std::time(nullptr);
    TrelSystem sys;
    std::time_t after = std::time(nullptr);

    std::string log = readLog();
    EXPECT_TRUE(log == bannerFor(before) || log == bannerFor(after)) << log;
    EXPECT_STREQ(sys.getName(), "Varnak Game");
    EXPECT_EQ(sys.zone, nullptr);
    EXPECT_EQ(sys.quit, 0);
    EXPECT_EQ(sys.screenWidth, 640);
    EXPECT_EQ(sys.screenHeight, 480);
    EXPECT_EQ(sys.framerate, 60);
    EXPECT_TRUE(sys.spriteResources.empty());
    EXPECT_EQ(sys.iface.allegroState, 0);
    EXPECT_FALSE(sys.iface.loaded);
    EXPECT_EQ(sys.iface.gfx.owner, &sys.iface);
    EXPECT_EQ(sys.iface.system, &sys);
}

TEST_F(SystemLog, TextIsWrittenVerbatimAndFormattedArgumentsKeepPercentSigns) {
    TrelSystem sys;
    std::size_t start = readLog().size();
    sys.consprint("\n100% sure, %s %d %n");
    sys.consprintf("\nzone %s, %i%%", "50%off", 7);
    EXPECT_EQ(readLog().substr(start), "\n100% sure, %s %d %n\nzone 50%off, 7%");
}

TEST_F(SystemLog, LongMessagesAreNeverCut) {
    TrelSystem sys;
    std::string longText(3000, 'x');
    longText += "END";
    sys.consprintf("\n%s", longText.c_str());
    sys.giveError(1, "%s", longText.c_str());
    EXPECT_TRUE(containsInOrder(readLog(), {"\n" + longText, "\nERROR! " + longText + "\n"}));
}

TEST_F(SystemLog, ErrorLevelsLogTheirOwnTextAndReturn) {
    TrelSystem sys;
    std::size_t start = readLog().size();
    sys.giveError(1, "Lost %i of %s", 3, "5%");
    sys.giveError(2, "Careful with %s", "%d");
    EXPECT_EQ(readLog().substr(start), "\nERROR! Lost 3 of 5%\n\nWARNING: Careful with %d\n");
}

TEST_F(SystemLog, UnknownErrorLevelsDoNothing) {
    TrelSystem sys;
    std::string before = readLog();
    sys.giveError(5, "five");
    sys.giveError(-1, "minus one");
    sys.giveError(3, "three");
    EXPECT_EQ(readLog(), before);
}

TEST_F(SystemLog, FatalErrorExitsWithStatusOneThroughTheShutdown) {
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            static TrelSystem sys;
            sys.giveError(0, "Out of %s at %i%%", "cheese", 100);
        },
        ::testing::ExitedWithCode(1), "");
    std::string log = readLog();
    EXPECT_TRUE(containsInOrder(
        log, {"\n!!ENCOUNTERED A FATAL ERROR!!\nOut of cheese at 100%\n\nNow aborting!\n",
              kShutdownTail}));
    EXPECT_TRUE(endsWith(log, kShutdownTail)) << log;
}

TEST_F(SystemLog, DestructionLogsTheShutdownInOrder) {
    { TrelSystem sys; }
    EXPECT_TRUE(endsWith(readLog(), kShutdownTail)) << readLog();
}

TEST_F(SystemLog, SetNameBeforeInitOnlyStoresTheName) {
    TrelSystem sys;
    std::string before = readLog();
    sys.setName("Quenmoor 100%");
    EXPECT_STREQ(sys.getName(), "Quenmoor 100%");
    EXPECT_EQ(readLog(), before);
}

// Fixed fault: the copy on standard output was only flushed at exit, so a game ended by a
// signal left its output file nearly empty while log.txt held every line.
TEST_F(SystemLog, StandardOutputKeepsEveryLineWhenASignalEndsTheGame) {
    std::fflush(stdout); // nothing of this process's output is written twice by the child
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int out = open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16); // as for any file or pipe
        TrelSystem sys;
        sys.consprint("\nfirst");
        sys.giveError(2, "second");
        sys.log.setQuiet(true);
        sys.consprint("\nonly in the file");
        std::raise(SIGTERM);
        _exit(0); // not reached
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    std::string out = readFile("out.txt");
    EXPECT_TRUE(containsInOrder(out, {"Varnak Engine", "\nfirst", "\nWARNING: second\n"}));
    EXPECT_EQ(out.find("only in the file"), std::string::npos);
    EXPECT_TRUE(endsWith(readLog(), "\nonly in the file"));
}

TEST_F(SystemLog, UnwritableLogFallsBackToStandardOutputAndSaysSoOnce) {
    ASSERT_EQ(mkdir("log.txt", 0755), 0); // a directory where the log file should go
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    {
        TrelSystem sys;
        EXPECT_EQ(sys.log.getFile(), nullptr);
        sys.consprint("\nstill logging");
        sys.giveError(2, "and warning");
    }
    std::string out = ::testing::internal::GetCapturedStdout();
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(containsInOrder(
        out, {"Varnak Engine", "\nstill logging", "\nWARNING: and warning", kShutdownTail}));
    std::size_t first = err.find("log.txt");
    ASSERT_NE(first, std::string::npos) << err;
    EXPECT_EQ(err.find("log.txt", first + 1), std::string::npos) << err;
}

TEST_F(SystemLog, FramerateBelowOneIsFatalBeforeAllegroStarts) {
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            static TrelSystem sys;
            sys.framerate = 0;
            sys.iface.init();
        },
        ::testing::ExitedWithCode(1), "");
    std::string log = readLog();
    EXPECT_TRUE(containsInOrder(
        log, {"\n!!ENCOUNTERED A FATAL ERROR!!\nInvalid framerate: 0.", kShutdownTail}));
    EXPECT_EQ(log.find("Initializing main Allegro system"), std::string::npos);
}

TEST_F(SystemLog, InitWithoutDisplayFailsWithStatusOne) {
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            static TrelSystem sys;
            sys.iface.init();
        },
        ::testing::ExitedWithCode(1), "");
    std::string log = readLog();
    EXPECT_TRUE(containsInOrder(
        log, {"\nPowered by Allegro ", "\nInitializing main Allegro system...",
              "\n!!ENCOUNTERED A FATAL ERROR!!\nCould not initialize Allegro!\nUnknown error!"
              "\nAllegro's system driver did not start: on X11, the X display could not be "
              "opened (no X server, or no right to use it).\n\nNow aborting!\n",
              kShutdownTail}));
    EXPECT_TRUE(endsWith(log, kShutdownTail)) << log;
}

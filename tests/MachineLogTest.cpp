#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "core/TrelSystem.h"

namespace {

int fourCC(const char id[4]) {
    return (id[0] << 24) | (id[1] << 16) | (id[2] << 8) | id[3];
}

const int kLinux = fourCC("TUX ");

} // namespace

class MachineLog : public InTempDir {
protected:
    // What logMachine_ appends to the log for the given values.
    std::string logFor(int family, int caps, int os, int version = -1, int revision = -1,
                       int multitasking = 0) {
        TrelSystem sys;
        std::size_t start = readLog().size();
        sys.iface.logMachine_(family, "AuthenticAMD", caps, os, version, revision, multitasking);
        return readLog().substr(start);
    }
};

TEST_F(MachineLog, AllCapabilitiesWrapIntoTwoLinesInTableOrder) {
    EXPECT_EQ(logFor(6, 0x0fff, kLinux, 6, 18, 1),
              "\n\nProcessor family: I686"
              "\nVendor: AuthenticAMD\n\n"
              "CPUID, FPU, IA64, AMD64, MMX, MMX+, SSE, SSE2, \n"
              "SSE3, 3DNow, E3DNow, CMOV\n"
              "\nOS: Linux 6.18 (multitasking)");
}

TEST_F(MachineLog, FewCapabilitiesFitOnOneLineAndNoneWriteNoLine) {
    std::string some = logFor(15, 0x0100 | 0x0001 | 0x0200, 0);
    EXPECT_TRUE(
        containsInOrder(some, {"Processor family: Extended", "\n\nCPUID, AMD64, CMOV\n\nOS: "}));
    EXPECT_EQ(logFor(18, 0, 0),
              "\n\nProcessor family: PowerPC\nVendor: AuthenticAMD\n\n\nOS: Unknown/MSDOS");
}

TEST_F(MachineLog, AWrappedLineIsWrittenAtTheFirstNameBeyondFiftyCharacters) {
    // Without IA64, SSE3 brings the count to 45 only; 3DNow (52) is the first beyond 50.
    std::string withoutIa64 = logFor(0, 0x0fff & ~0x0400, 0);
    EXPECT_TRUE(containsInOrder(withoutIa64, {"CPUID, FPU, AMD64, MMX, MMX+, SSE, SSE2, SSE3, \n",
                                              "3DNow, E3DNow, CMOV\n"}))
        << withoutIa64;
}

TEST_F(MachineLog, UnknownFamilyAndSystemLeaveTheirLinesEmpty) {
    EXPECT_EQ(logFor(99, 0, fourCC("ZZZZ"), 6, 1, 1),
              "\n\nProcessor family: \nVendor: AuthenticAMD\n\n\nOS: ");
}

TEST_F(MachineLog, OperatingSystemVersionAndMultitaskingAreOptional) {
    auto osLine = [](const std::string& text) { return text.substr(text.rfind("\nOS: ")); };
    EXPECT_EQ(osLine(logFor(0, 0, kLinux, -1, 3, 0)), "\nOS: Linux");
    EXPECT_EQ(osLine(logFor(0, 0, fourCC("WXP "), 5, 1, 0)), "\nOS: Windows XP 5.1");
    EXPECT_EQ(osLine(logFor(0, 0, fourCC("MACX"), -1, -1, -1)), "\nOS: MacOS X (multitasking)");
}

// "COM"n names and device paths, with and without the TAVRIN_COMn override.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostserial/HostComNames.h"
#include "support/EnvironmentVariable.h"

namespace {

using tavrin::test::TEnvironmentVariable;

TEST(HostComNames, NamesResolveToDevicePaths) {
    const TEnvironmentVariable com3("TAVRIN_COM3", nullptr);
    const TEnvironmentVariable com4("TAVRIN_COM4", "/dev/pts/77");
    const TEnvironmentVariable com5("TAVRIN_COM5", "");  // empty names nothing
    struct Case {
        std::string name;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"COM1", "/dev/ttyS0"},
        {"COM3", "/dev/ttyS2"},
        {"COM12", "/dev/ttyS11"},
        {"COM4", "/dev/pts/77"},
        {"COM5", "/dev/ttyS4"},
        {"COM0", ""},
        {"COM99999999999999999999", ""},
        {"COM", "COM"},
        {"COMX", "COMX"},
        {"COM1x", "COM1x"},
        {"com3", "com3"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ResolveComPortName(c.name), c.path) << c.name;
}

TEST(HostComNames, PortNumbersGiveTheSamePathsAsTheirNames) {
    const TEnvironmentVariable com2("TAVRIN_COM2", "/tmp/line-two");
    for (int n : {1, 2, 7, 50, 255}) EXPECT_EQ(ComDevicePath(n), ResolveComPortName("COM" + std::to_string(n))) << n;
    EXPECT_EQ(ComDevicePath(2), "/tmp/line-two");
    EXPECT_EQ(ComDevicePath(0), "");
    EXPECT_EQ(ComDevicePath(-1), "");
}

}  // namespace

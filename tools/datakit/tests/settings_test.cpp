// The settings and save writers against their layouts written out by hand: the 11-byte options
// line, the CR LF network options lines, and one save slot's bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datakit/settings.h"

namespace {

TEST(SettingsFiles, OptionsAndNetworkOptionsFollowTheirLayout) {
    dk::OptionsFile options;
    options.displayMode = 7;
    options.edgeScroll = 0;
    EXPECT_EQ(dk::OptionsFileText(options), std::string("\x27\x21\x20\x28\x21\x2f\x21\x21\x21\x0d\x0a"));
    dk::NetOptionsFile net;
    net.name = "Grim";
    net.baudRate = 9600;
    EXPECT_EQ(dk::NetOptionsFileText(net), "Grim\r\n127.0.0.1\r\nundefined\r\nundefined\r\n3\r\n9600\r\n0\r\n0\r\n2\r\n");
}

TEST(SettingsFiles, ASaveSlotFollowsTheLayout) {
    dk::SaveFile save;
    save.level = -1;
    save.hour = 13;
    save.minute = 5;
    save.month = 12;
    save.day = 9;
    save.year = 2026;
    save.groups[15][3].character = 27;
    save.groups[15][3].items[8] = 149;
    save.groups[15][3].counts[8] = -3;
    const std::vector<uint8_t> bytes = dk::SaveFileBytes(save);
    ASSERT_EQ(bytes.size(), 3000u);
    const std::vector<uint8_t> head = {0xff, 1, 0, 0, 2, 0, 1, 0, 0, 2, 0, 1, 2, 0, 0, 0, 0, 0, 13, 5, 12, 9, 20, 26};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 24), head);
    // The last member of the last group: offset 24 + 63 * 20 = 1284.
    const std::vector<uint8_t> last = {27, 0xff, 0xff, 0, 0xff, 0, 0xff, 0, 0xff, 0, 0xff, 0,
                                       0xff, 0, 0xff, 0, 0xff, 0, 149, 0xfd};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 1284, bytes.begin() + 1304), last);
    const std::string signature(bytes.begin() + 1304, bytes.begin() + 1324);
    EXPECT_EQ(signature, "Ghoulden by Quorlane");
    for (size_t i = 1324; i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], 0) << i;
}

}  // namespace

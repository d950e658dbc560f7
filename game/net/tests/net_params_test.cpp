// The connection parameters: the serial settings keep only values inside their ranges, the texts
// are tracked copies (tag 7) that replace each other without leaks, and the defaults of a start.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "net/net.h"
#include "common/mem.h"

namespace {
class NetParamsTest : public ::testing::Test {
protected:
    void SetUp() override {
        NET_ReleaseConnectionParams();
        MEM_ResetTracker();
        NET_ResetConnectionParams();
    }
    void TearDown() override { NET_ReleaseConnectionParams(); }
};

struct RangeCase {
    const char* name;
    int (*set)(int);
    int (*get)();
    int defaultValue;
    std::vector<std::pair<int, int>> steps;  // value set, value read back
};
}  // namespace

TEST_F(NetParamsTest, SerialSettingsKeepOnlyValuesInRange) {
    const RangeCase cases[] = {
        {"com port", NET_SetComPort, NET_GetComPort, 3, {{0, 3}, {5, 3}, {4, 4}, {1, 1}, {-1, 1}}},
        {"baud rate", NET_SetBaudRate, NET_GetBaudRate, 256000,
         {{109, 256000}, {110, 110}, {256001, 110}, {256000, 256000}, {9600, 9600}}},
        {"stop bits", NET_SetStopBits, NET_GetStopBits, 0, {{2, 2}, {3, 2}, {-1, 2}, {0, 0}}},
        {"parity", NET_SetParity, NET_GetParity, 0, {{3, 3}, {4, 3}, {1, 1}, {-1, 1}}},
        {"flow control", NET_SetFlowControl, NET_GetFlowControl, 2, {{4, 4}, {5, 4}, {0, 0}, {-1, 0}}},
    };
    for (const RangeCase& c : cases) {
        EXPECT_EQ(c.get(), c.defaultValue) << c.name;
        for (const auto& [value, readBack] : c.steps) {
            EXPECT_EQ(c.set(value), 1) << c.name << " " << value;
            EXPECT_EQ(c.get(), readBack) << c.name << " " << value;
        }
    }
    NET_ResetConnectionParams();
    for (const RangeCase& c : cases)
        EXPECT_EQ(c.get(), c.defaultValue) << c.name << " after a reset";
}

TEST_F(NetParamsTest, TextsAreTrackedCopiesThatReplaceEachOther) {
    const struct {
        int (*set)(const char*);
        const char* (*get)();
    } texts[] = {{NET_SetIPAddress, NET_GetIPAddress},
                 {NET_SetConnString, NET_GetConnString},
                 {NET_SetPhoneNumber, NET_GetPhoneNumber}};
    for (const auto& t : texts) {
        EXPECT_STREQ(t.get(), "undefined");
        std::string value = "192.168.0.17";
        EXPECT_EQ(t.set(value.c_str()), 1);
        value[0] = '9';  // the caller's buffer is not kept
        EXPECT_STREQ(t.get(), "192.168.0.17");
        EXPECT_EQ(g_MemHead->tag, uint32_t(MEM_TAG_NET));

        const uint32_t bytes = g_MemBytes;
        t.set("555-0199");
        EXPECT_STREQ(t.get(), "555-0199");
        EXPECT_EQ(g_MemBytes, bytes - 13 + 9) << "the previous copy is released";

        t.set(t.get());  // its own copy again
        EXPECT_STREQ(t.get(), "555-0199");
        EXPECT_EQ(g_MemBytes, bytes - 13 + 9);

        t.set(nullptr);
        EXPECT_STREQ(t.get(), "555-0199") << "a null text changes nothing";
    }
    NET_ReleaseConnectionParams();
    for (const auto& t : texts)
        EXPECT_STREQ(t.get(), "undefined");
    EXPECT_EQ(g_MemBytes, 0u);
}

TEST_F(NetParamsTest, TextKeepsItsValueWhenNoCopyCanBeMade) {
    NET_SetIPAddress("10.0.0.1");
    g_MemEnabled = 0;  // the tracker refuses every block
    EXPECT_EQ(NET_SetIPAddress("10.0.0.2"), 1);
    g_MemEnabled = 1;
    EXPECT_STREQ(NET_GetIPAddress(), "10.0.0.1");
}

#include "config/DeviceFile.h"
#include "config/Templates.h"

#include "ConfigStation.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>

namespace vantrell {
namespace {

TEST(OneBased, EntriesAreNumberedOneToNAndNothingElse) {
    OneBased<std::string, 4> table{"a", "b"};
    EXPECT_EQ(table[1], "a");
    EXPECT_EQ(table.at(2), "b");
    EXPECT_EQ(table[4], "");
    for (int k : {0, -1, 5})
        EXPECT_THROW(table.at(k), std::out_of_range) << k;
    table.fill("x");
    EXPECT_EQ(std::count(table.begin(), table.end(), "x"), 4);
    EXPECT_THROW((OneBased<std::string, 2>{"a", "b", "c"}), std::out_of_range);
}

// The phone list shows an inactive local device as blank as a free record; only a record that
// holds no device may take a new one.
TEST(Tables, ASlotIsFreeOnlyWhenItHoldsNoDevice) {
    test::ConfigStation s;
    ASSERT_TRUE(installTemplates(s.folder.path()).failures.empty());
    ASSERT_FALSE(DeviceFile(s.station).loadDeviceTable());
    const DeviceRecord blank = s.station.devices[1];
    const struct {
        const char *legend;
        int field; // set to `value` in the blank record; 0: none
        const char *value;
        bool free;
        const char *row; // in the phone list: mark|connection|description
    } cases[] = {
        {"the template's blank record", 0, "", true, "||"},
        {"deleted: connection emptied", field::connection, "", true, "||"},
        {"deleted: alarm address kept", field::alarmAddress, "ops@example.org", true, "||"},
        {"deleted: alarm kept on", field::alarmEnabled, "1", true, "||"},
        {"deleted: forwarding kind kept", field::forwardKind, "1", true, "||"},
        {"inactive local device with a logger", field::serialNumber1 + 2, "1234KV0126", false,
         "||"},
        {"inactive local device with only its data folder", field::dataDirectory, "/srv", false,
         "||"},
        {"inactive local device with only its description", field::description, "pump house", false,
         "||pump house"},
        {"inactive local device scheduled", field::scheduleSlot1, "1", false, "||"},
        {"active local device", field::active, "1", false, "X|locl0000|"},
        {"inactive remote device", field::connection, "0471", false, "|0471|"},
    };
    const auto shown = [](const DeviceRecord &device) {
        const PhoneListRow row = phoneListRow(device);
        return row.mark + "|" + row.connection + "|" + row.description;
    };
    EXPECT_TRUE(DeviceRecord{}.isFree()) << "never loaded";
    EXPECT_EQ(shown(DeviceRecord{}), "||");
    for (const auto &c : cases) {
        DeviceRecord device = blank;
        if (c.field != 0)
            device[c.field] = c.value;
        EXPECT_EQ(device.isFree(), c.free) << c.legend;
        EXPECT_EQ(shown(device), c.row) << c.legend;
    }
}

} // namespace
} // namespace vantrell

#include "ForwardingBench.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using testing::ForwardingBench;

struct Due {
    int slot;
    bool active;
    bool scheduled; // at time 2
    std::string mark;
    bool retried = false; // the outbox retries its failed delivery
};

TEST(RunReport, OneLinePerDueDeviceWithAKnownLetter) {
    const std::string heading = "This is a report for all devices:\r\n";
    const struct {
        const char *legend;
        std::vector<Due> devices;
        std::string body;
    } cases[] = {
        {"no device due", {}, heading + "No selected devices for this time\r\nEnd report."},
        {"device 1 read, device 4 with a wrong serial number",
         {{1, true, true, "X"}, {4, true, true, "P"}},
         heading + "Device no.1 done succesfully\r\nDevice no.4 serial number incorrect\r\n"
                   "End report."},
        {"device 12 not communicating",
         {{12, true, true, "L"}},
         heading + "Device no.12 not comunicating\r\nEnd report."},
        {"a due device without a mark counts but has no line",
         {{3, true, true, ""}},
         heading + "End report."},
        {"inactive or not scheduled devices do not count",
         {{2, false, true, "X"}, {5, true, false, "X"}},
         heading + "No selected devices for this time\r\nEnd report."},
        {"the other letters",
         {{1, true, true, "M"}, {2, true, true, "C"}, {3, true, true, "S"}, {4, true, true, "T"}},
         heading + "Device no.1 modem not ready or line in use\r\nDevice no.2 remote modem not "
                   "ready\r\nDevice no.3 switch not ready\r\nDevice no.4 switch not set\r\n"
                   "End report."},
        {"the letters of a session that used up its attempts",
         {{1, true, true, "W"}, {2, true, true, "I"}, {3, true, true, "N"}},
         heading + "Device no.1 data not saved\r\nDevice no.2 transfer incomplete\r\n"
                   "Device no.3 logger not answering\r\nEnd report."},
        {"data read but a delivery failed; the outbox retries one",
         {{1, true, true, "F"}, {2, true, true, "A", true}},
         heading + "Device no.1 data read, not forwarded\r\nDevice no.2 data read, alarm not "
                   "sent (retried from the outbox)\r\nEnd report."},
    };
    for (const auto &c : cases) {
        ForwardingBench b;
        b.station.devices[7][field::connection] = "";
        b.station.devices[1][field::reportAddress] = "ops@example.org";
        b.station.scheduleTimes[2] = "8";
        b.station.session.dailyMarkIndex = 3;
        for (const Due &d : c.devices) {
            DeviceRecord &r = b.station.devices[d.slot];
            r[field::active] = d.active ? "1" : "0";
            r[field::scheduleSlot1 + 1] = d.scheduled ? "1" : "0";
            b.station.dailyMarks.at(4, d.slot) = d.mark;
            if (d.retried)
                b.station.retriedFromOutbox.insert({2, d.slot});
        }
        b.forwarding.sendRunReport();
        ASSERT_EQ(b.mails.size(), 1u) << c.legend;
        const MailMessage &m = b.mails[0];
        EXPECT_EQ(m.text, c.body) << c.legend;
        EXPECT_EQ(m.subject, "Report of scheduled time 08:00") << c.legend;
        EXPECT_EQ(m.sendTo, "ops@example.org") << c.legend;
        EXPECT_EQ(m.mailFrom, b.station.settings.reportMailFrom) << c.legend;
        EXPECT_EQ(m.server, b.station.settings.smtpHost) << c.legend;
        EXPECT_TRUE(b.progress.contains("Sending report to ops@example.org...")) << c.legend;
    }
}

} // namespace
} // namespace vantrell

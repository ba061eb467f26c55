#include "ForwardingBench.h"
#include "general/Text.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace vantrell {
namespace {

// A station with one SMS number, the loggers' channels set up by the tests.
struct AlarmBench : testing::ForwardingBench {
    AlarmBench() { station.phonebook[1] = "+4911"; }

    std::string &setup(int channel, int f) { return station.channelSetup.at(channel, f); }
    // Entries 1.. of a read-back table hold `values` on channel `ch`; "+15000.=14999.6" is a
    // text with the reading the decoder kept at full precision.
    void readings(int ch, const std::vector<std::string> &values) {
        loggerResult.readings.assign(values.size(), Reading{});
        for (std::size_t j = 0; j < values.size(); ++j) {
            const std::size_t full = values[j].find('=');
            Reading &r = loggerResult.readings[j];
            r.values[ch] = values[j].substr(0, full);
            if (full != std::string::npos)
                r.fullValues[ch] = std::stod(values[j].substr(full + 1));
        }
        loggerResult.path = "/data/KV12345678.dat";
    }
    void checkAbsolute() {
        (void)forwarding.checkAbsoluteAlarms(request(), &station.channelSetup, loggerResult);
    }
    // On the readings as the file this session wrote, or did not write.
    void checkAcceleration(bool written) {
        loggerResult.saved = written ? MemorySaved::inFile : MemorySaved::notWritten;
        (void)forwarding.checkAccelerationAlarms(request(), &station.channelSetup, loggerResult,
                                                 loggerResult.readings);
    }
    std::vector<std::string> smsTexts() const {
        std::vector<std::string> out;
        for (const sim::SmsMessage &m : modem.messages())
            out.push_back(m.number + " " + m.text);
        return out;
    }
};

using Texts = std::vector<std::string>;

// "10,_,~," as entries: a number, a blank reading, a record never written, an empty line.
Texts entries(std::string_view list) {
    Texts out;
    for (std::size_t comma; (comma = list.find(',')) != std::string_view::npos;
         list.remove_prefix(comma + 1)) {
        const std::string_view e = list.substr(0, comma);
        out.push_back(e == "_" ? "       " : e == "~" ? std::string(7, '\0') : std::string(e));
    }
    out.emplace_back(list);
    return out;
}

// Logger 2's channel 2 has setup channel 6; the setup of logger 1 would raise an alarm on every
// reading of its channel 2.
TEST(AbsoluteAlarm, OneBroadcastPerChannelAtTheFirstRecordOutOfRange) {
    const struct {
        const char *legend;
        std::string minimum, maximum;
        const char *channel2; // the readings of the transfer
        std::size_t alarms;
        std::string logged;
    } cases[] = {
        {"record 8 above 50, record 9 too: one alarm", "0", "50", "10,20,30,40,45,49,50,51,60", 1,
         ""},
        {"a blank reading counts as 0, below a minimum of 5", "5", "50", "10,_", 1, ""},
        {"the limits themselves are in range", "0", "50", "50,0", 0, ""},
        {"limits that are not numbers count as 0, and say so", "low", "high", "1", 1,
         "Alarm setup of channel 6: maximum \"high\" is not a number; taken as 0"},
        {"14999.5, shown as +15000., is below a maximum of 14999.6", "0", "14999.6",
         "+15000.=14999.5", 0, ""},
        {"14999.4, shown as +14999., is above a maximum of 14999.2", "0", "14999.2",
         "+14999.=14999.4", 1, ""},
    };
    for (const auto &c : cases) {
        AlarmBench b;
        b.setup(2, setup::absAlarmOn) = "1";
        b.setup(2, setup::absMinimum) = "1000";
        b.setup(6, setup::absAlarmOn) = "1";
        b.setup(6, setup::absMinimum) = c.minimum;
        b.setup(6, setup::absMaximum) = c.maximum;
        b.setup(6, setup::absMessage) = "Level";
        const Texts readings = entries(c.channel2);
        b.readings(2, readings);
        b.loggerResult.position = 2;
        b.checkAbsolute();
        EXPECT_EQ(b.smsTexts(), Texts(c.alarms, "+4911 Level; Channel 2")) << c.legend;
        EXPECT_TRUE(
            b.progress.contains("Checking Alarm CH 2...block " + std::to_string(readings.size())))
            << c.legend;
        EXPECT_TRUE(c.logged.empty() || b.progress.contains(c.logged)) << c.legend;
    }
    // A station whose setup could not be read has no limits to check against.
    AlarmBench b;
    b.readings(1, {"99"});
    b.loggerResult.saved = MemorySaved::inFile;
    EXPECT_TRUE(b.forwarding.checkAbsoluteAlarms(b.request(), nullptr, b.loggerResult).empty());
    EXPECT_TRUE(
        b.forwarding
            .checkAccelerationAlarms(b.request(), nullptr, b.loggerResult, b.loggerResult.readings)
            .empty());
}

TEST(AccelerationAlarm, RaisedWhenTwoReadingsInTheWindowDifferByMoreThanTheDelta) {
    const struct {
        const char *legend;
        std::string perDay, delta;
        const char *values; // entries 1..L; "_" blank, "~" never written; entry L is the line
        bool written;       // after the last record
        std::size_t alarms;
    } cases[] = {
        {"4 a day for 1 day, L = 10: 16 against 10 in entries 6-9", "4", "5",
         "10,10,10,10,10,10,10,16,10,", true, 1},
        {"a spread of exactly the delta is no alarm", "4", "5", "10,10,10,10,10,10,15,10,10,", true,
         0},
        {"the jump lies before the window (entry 5)", "4", "5", "10,10,10,10,99,10,10,10,10,", true,
         0},
        {"a window larger than the history starts at entry 1", "40", "5", "90,10,10,", true, 1},
        {"so does one as long as the history (there is no entry 0)", "4", "5", "90,10,10,", true,
         1},
        {"a window of 0 entries compares nothing", "0", "5", "10,90,10,", true, 0},
        {"a blank reading in the window counts as 0", "4", "5", "10,10,10,10,10,10,_,10,10,", true,
         1},
        {"the never-written third record of a new file does not count", "40", "5",
         "~,+0020.0,+0021.0,", true, 0},
        {"many differing pairs still raise one alarm", "40", "1", "1,9,2,8,", true, 1},
        {"14999.6 and 15000.4 are both +15000. but differ by more than 0.5", "40", "0.5",
         "+15000.=14999.6,+15000.=15000.4,", true, 1},
        {"a file this session did not write is not checked", "40", "1", "10,90,", false, 0},
    };
    for (const auto &c : cases) {
        AlarmBench b;
        b.setup(1, setup::readingsPerDay) = c.perDay;
        b.setup(1, setup::accelAlarmOn) = "1";
        b.setup(1, setup::accelDays) = "1";
        b.setup(1, setup::accelDelta) = c.delta;
        b.setup(1, setup::accelMessage) = "Jump";
        b.readings(1, entries(c.values));
        b.checkAcceleration(c.written);
        EXPECT_EQ(b.smsTexts(), Texts(c.alarms, "+4911 Jump; Channel 1")) << c.legend;
        EXPECT_EQ(b.progress.contains("Acceleration alarms not checked: no data file was written"),
                  !c.written)
            << c.legend;
    }
}

TEST(SmsBroadcast, GoesToEveryNumberBeginningWithPlusTwentySecondsApart) {
    AlarmBench b;
    b.station.phonebook = {
        "+4911", "0301234567", "+3912345\",129;D112;", "   ", "+49 22-3.4", "", "", "", "", ""};
    b.forwarding.alarm().broadcast("Level; Channel 2");
    EXPECT_EQ(b.smsTexts(), (Texts{"+4911 Level; Channel 2", "+492234 Level; Channel 2"}));
    ASSERT_EQ(b.modem.messages().size(), 2u);
    EXPECT_GE(b.modem.messages()[1].time - b.modem.messages()[0].time, 20.0);
    EXPECT_EQ(b.smsPort.sentBytes(), "AT+CMGF=1\rAT+CMGS=\"+4911\"\rLevel; Channel 2\x1A"
                                     "AT+CMGF=1\rAT+CMGS=\"+492234\"\rLevel; Channel 2\x1A");
    EXPECT_TRUE(b.progress.contains(
        "Phone-book entry 2 \"0301234567\" does not begin with \"+\"; skipped"));
    EXPECT_TRUE(b.progress.contains("Phone-book entry 3 \"+3912345\",129;D112;\" is not a "
                                    "telephone number (digits with an optional leading \"+\"); "
                                    "skipped"));

    b.station.phonebook.fill("   ");
    b.station.phonebook[1] = "+49;";
    b.forwarding.alarm().broadcast("Level; Channel 2");
    EXPECT_EQ(b.modem.messages().size(), 2u);
    EXPECT_EQ(b.reports().back(), "Alarm \"Level; Channel 2\" to the phone book not sent: no "
                                  "phone-book entry is a telephone number beginning with \"+\"");
}

TEST(Sms, NumbersAndTextsGoOnTheLineOnlyAsText) {
    const char *refused = "not a telephone number (digits with an optional leading \"+\")";
    const char *removed = "control characters removed from the text";
    const struct {
        const char *legend;
        std::string number, text;
        std::string expected; // number and text as the modem took them; empty: nothing sent
        std::string logged;   // the end of the last progress line
    } cases[] = {
        {"a carriage return and character 26 cannot start a second message", "+4911",
         "Hi\r\032AT+CMGS=\"+999\"\rspam", "+4911 HiAT+CMGS=\"+999\"spam", removed},
        {"character 27 cannot abandon the message", "+4911", "a\033b", "+4911 ab", removed},
        {"bell, delete and U+0085 go too", "+4911", "a\a\177b\302\205c", "+4911 abc", removed},
        {"UTF-8 goes out as 8-bit text", "+4911", "25 \302\260C", "+4911 25 \260C", ""},
        {"blanks, dots and dashes in a number are dropped", " +49 30.12-34 ", "x", "+49301234 x",
         ""},
        {"an alarm address need not begin with +", "0301234567", "x", "0301234567 x", ""},
        {"a quote and a dial command after the number", "+3912345\",129;D112;", "x", "", refused},
        {"a line break inside the number", "+49\r\n11", "x", "", refused},
        {"a + that is not the first", "49+11", "x", "", refused},
        {"no digit", "+ -", "x", "", refused},
    };
    for (const auto &c : cases) {
        AlarmBench b;
        b.forwarding.alarm().sendSms(c.number, c.text);
        EXPECT_EQ(b.smsTexts(), c.expected.empty() ? Texts{} : Texts{c.expected}) << c.legend;
        EXPECT_TRUE(!c.expected.empty() || b.smsPort.sentBytes().empty()) << c.legend;
        EXPECT_EQ(b.modem.abandoned(), 0) << c.legend;
        EXPECT_FALSE(b.smsPort.isOpen()) << c.legend;
        const Texts reports = b.reports();
        EXPECT_TRUE(c.logged.empty() ? reports.empty() : reports.back().ends_with(c.logged))
            << c.legend << ": " << (reports.empty() ? "" : reports.back());
    }
}

TEST(Sms, APortInUseIsALogLineAndAFailedOutcome) {
    AlarmBench b;
    b.smsPort.setBusy(true);
    EXPECT_FALSE(b.forwarding.alarm().sendSms("+4911", "x").delivery.delivered());
    EXPECT_TRUE(b.modem.messages().empty());
    EXPECT_EQ(b.reports().back(),
              "SMS to \"+4911\" not sent: port 3 (simulated line): in use by another program");
}

// The bytes on the line and the one-second pauses are the same in every case; only the modem's
// answers within the pauses decide.
TEST(Sms, TheModemsConfirmationDecides) {
    const std::string unanswered = "SMS to \"+4911\" not sent: no answer from the modem to ";
    const struct {
        const char *legend;
        int refused;                   // messages the modem answers with ERROR
        double resultDelay, sendDelay; // seconds
        int sent;                      // messages the modem sent, of two tries
        Texts logged;
    } cases[] = {
        {"prompt answers: both sent", 0, 0.02, 0.5, 2, Texts()},
        {"the first refused with ERROR, the retry goes", 1, 0.02, 0.5, 1,
         Texts(1, "SMS to \"+4911\" not sent: the modem answered ERROR to the message")},
        {"no confirmation within the pause", 0, 0.02, 5.0, 2, Texts(2, unanswered + "the message")},
        {"late answers, but the message is confirmed in time", 0, 1.5, 0.5, 2, Texts()},
        {"the first step that went unanswered is named", 0, 1.5, 5.0, 2,
         Texts(2, unanswered + "AT+CMGF=1")},
    };
    for (const auto &c : cases) {
        AlarmBench b;
        sim::GsmModem modem(b.world, {{sim::FaultKind::smsRefused, c.refused}});
        modem.resultDelay = c.resultDelay;
        modem.sendDelay = c.sendDelay;
        b.smsPort.attach(modem);
        const double start = b.world.now();
        b.forwarding.alarm().sendSms("+4911", "x");
        b.world.runFor(10.0);
        b.forwarding.alarm().sendSms("+4911", "x");
        EXPECT_EQ(int(modem.messages().size()), c.sent) << c.legend;
        EXPECT_EQ(b.reports(), c.logged) << c.legend;
        EXPECT_EQ(b.smsPort.sentBytes(), std::string("AT+CMGF=1\rAT+CMGS=\"+4911\"\rx\x1A") +
                                             "AT+CMGF=1\rAT+CMGS=\"+4911\"\rx\x1A")
            << c.legend;
        EXPECT_NEAR(b.world.now() - start, 16.0, 0.01) << c.legend;
    }
}

TEST(LimitAlarm, TextByConnectionAndDeliveryByNotifyKind) {
    const struct {
        const char *legend;
        std::string connection, notifyKind, delivered;
    } cases[] = {
        {"local line, by mail", "locl0000", "0",
         "Korvane Alarm to alarm@example.org: An alarm was triggered in the device KV12345678"},
        {"network 03 section 02, by mail", "netw0302", "0",
         "Korvane Alarm to alarm@example.org: An alarm was triggered in Network 3 in Section 2 "
         "in the device KV12345678"},
        {"telephone number, by SMS", "0301234567", "1",
         "+4922 An alarm was triggered by tel. 0301234567 from device KV12345678"},
        {"notify kind 2 is an SMS too", "locl0000", "2",
         "+4922 An alarm was triggered in the device KV12345678"},
    };
    for (const auto &c : cases) {
        AlarmBench b;
        DeviceRecord &d = b.station.devices[7];
        // Logger 2's alarm names logger 2.
        d.serialNumber(1) = "KV00000001";
        d.serialNumber(2) = "KV12345678";
        b.loggerResult.position = 2;
        d[field::connection] = c.connection;
        d[field::alarmNotifyKind] = c.notifyKind;
        d[field::alarmAddress] = c.notifyKind == "0" ? "alarm@example.org" : "+4922";
        b.forwarding.sendLimitAlarm(b.request(), b.loggerResult);
        Texts delivered = b.smsTexts();
        for (const MailMessage &m : b.mails) {
            delivered.push_back(m.subject + " to " + m.sendTo + ": " + m.text);
            EXPECT_EQ(m.server + " " + m.mailFrom,
                      b.station.settings.smtpHost + " " + b.station.settings.alarmMailFrom);
        }
        EXPECT_EQ(delivered, Texts{c.delivered}) << c.legend;
    }
}

} // namespace
} // namespace vantrell

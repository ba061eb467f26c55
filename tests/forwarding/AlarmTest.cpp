#include "ForwardingBench.h"
#include "general/Text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace vantrell {
namespace {

using testing::ForwardingBench;

constexpr const char *number1 = "+4911";
constexpr const char *number2 = "+4922";

// Logger 1's channel `ch` with the alarms of one kind switched on.
void absoluteSetup(Station &s, int ch, const std::string &minimum, const std::string &maximum) {
    s.channelSetup.at(ch, setup::absAlarmOn) = "1";
    s.channelSetup.at(ch, setup::absMinimum) = minimum;
    s.channelSetup.at(ch, setup::absMaximum) = maximum;
    s.channelSetup.at(ch, setup::absMessage) = "Level";
}

void accelerationSetup(Station &s, const std::string &perDay, const std::string &days,
                       const std::string &delta) {
    s.channelSetup.at(1, setup::readingsPerDay) = perDay;
    s.channelSetup.at(1, setup::accelAlarmOn) = "1";
    s.channelSetup.at(1, setup::accelDays) = days;
    s.channelSetup.at(1, setup::accelDelta) = delta;
    s.channelSetup.at(1, setup::accelMessage) = "Jump";
}

// A read-back table whose entries 1.. hold `values` on channel `ch`, as a file this session wrote.
void readBack(Station &s, int ch, const std::vector<std::string> &values) {
    s.data.readingTable.assign(values.size(), Reading{});
    for (std::size_t j = 0; j < values.size(); ++j)
        s.data.readingTable[j].values[ch] = values[j];
    s.data.readBackCount = int(values.size());
    s.data.dataFileWritten = true;
    s.data.dataFilePath = "/data/KV12345678.dat";
}

TEST(AbsoluteAlarm, OneBroadcastPerChannelAtTheFirstRecordOutOfRange) {
    const struct {
        const char *legend;
        std::string minimum, maximum;
        std::vector<std::string> channel2;
        std::size_t smsExpected;
        std::string logged = {}; // a progress line the check must show
    } cases[] = {
        {"record 8 above 50, record 9 too: one alarm",
         "0",
         "50",
         {"+0010.0", "+0020.0", "+0030.0", "+0040.0", "+0045.0", "+0049.0", "+0050.0", "+0051.0",
          "+0060.0"},
         1},
        {"a blank reading counts as 0, below a minimum of 5", "5", "50", {"+0010.0", "       "}, 1},
        {"the limits themselves are in range", "0", "50", {"+0050.0", "+0000.0"}, 0},
        {"limits that are not numbers count as 0, and say so",
         "low",
         "high",
         {"+0001.0"},
         1,
         "Alarm setup of channel 2: maximum \"high\" is not a number; taken as 0"},
    };
    for (const auto &c : cases) {
        ForwardingBench b;
        b.station.phonebook[1] = number1;
        absoluteSetup(b.station, 2, c.minimum, c.maximum);
        readBack(b.station, 2, c.channel2);
        b.forwarding.checkAbsoluteAlarms();
        ASSERT_EQ(b.modem.messages().size(), c.smsExpected) << c.legend;
        if (c.smsExpected > 0) {
            EXPECT_EQ(b.modem.messages()[0].text, "Level; Channel 2") << c.legend;
        }
        EXPECT_TRUE(
            b.progress.contains("Checking Alarm CH 2...block " + std::to_string(c.channel2.size())))
            << c.legend;
    }
}

TEST(AbsoluteAlarm, ReadingsLeftByAnEarlierLoggerAreNotChecked) {
    ForwardingBench b;
    b.station.phonebook[1] = number1;
    absoluteSetup(b.station, 1, "0", "10");
    readBack(b.station, 1, {"+0099.0"});
    b.station.data.dataFilePath.clear(); // this logger's file name was refused: no transfer
    b.forwarding.checkAbsoluteAlarms();
    EXPECT_TRUE(b.modem.messages().empty());
}

TEST(ReadingValue, TheSameNumberAsValForEveryText) {
    std::vector<std::string> texts{"+0023.5",
                                   "-0000.1",
                                   "  +12.",
                                   ".5",
                                   "-.25",
                                   "",
                                   "       ",
                                   "-------",
                                   "+",
                                   "12abc",
                                   "1.5E3",
                                   "1e400",
                                   "1234567890123456789",
                                   "0.1234567890123456",
                                   "7.",
                                   "--5"};
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        const double v = double(random() % 2000001) / std::pow(10.0, double(random() % 12));
        char text[40];
        std::snprintf(text, sizeof text, random() % 2 ? "%+.*f" : "%.*f", int(random() % 13),
                      random() % 2 ? v : -v);
        texts.emplace_back(text);
    }
    for (const std::string &t : texts)
        EXPECT_EQ(readingValue(t), val(t)) << "\"" << t << "\"";
}

TEST(AccelerationAlarm, WindowArithmetic) {
    const struct {
        const char *legend;
        int history;
        double entries;
        int first, last; // first > last: nothing compared
    } cases[] = {
        {"4 a day for 1 day with L = 10: entries 6 to 9", 10, 4, 6, 9},
        {"a window larger than the history starts at entry 1", 10, 40, 1, 9},
        {"a window as long as the history also starts at 1 (there is no entry 0)", 10, 10, 1, 9},
        {"a window of 0 entries compares nothing", 10, 0, 10, 9},
        {"a negative window compares nothing", 10, -4, 10, 9},
        {"no history compares nothing", 0, 4, 1, -1},
    };
    for (const auto &c : cases) {
        const EntryRange r = accelerationWindow(c.history, c.entries);
        EXPECT_EQ(r.empty(), c.first > c.last) << c.legend;
        if (!r.empty()) {
            EXPECT_EQ(r.first, c.first) << c.legend;
            EXPECT_EQ(r.last, c.last) << c.legend;
        }
    }
}

TEST(AccelerationAlarm, RaisedWhenTwoReadingsInTheWindowDifferByMoreThanTheDelta) {
    const std::string nul(7, '\0');
    const struct {
        const char *legend;
        std::string perDay, days, delta;
        std::vector<std::string> values; // entries 1..L; entry L is the line after the last
        std::size_t smsExpected;
    } cases[] = {
        {"16 against 10 in entries 6-9, delta 5",
         "4",
         "1",
         "5",
         {"10", "10", "10", "10", "10", "10", "10", "16", "10", ""},
         1},
        {"a spread of exactly the delta is no alarm",
         "4",
         "1",
         "5",
         {"10", "10", "10", "10", "10", "10", "15", "10", "10", ""},
         0},
        {"the jump lies before the window (entry 5)",
         "4",
         "1",
         "5",
         {"10", "10", "10", "10", "99", "10", "10", "10", "10", ""},
         0},
        {"the blank line after the last record is outside the window",
         "40",
         "1",
         "5",
         {"10", "10", "10", ""},
         0},
        {"a blank reading in the window counts as 0",
         "4",
         "1",
         "5",
         {"10", "10", "10", "10", "10", "10", "       ", "10", "10", ""},
         1},
        {"the never-written third record of a new file does not count",
         "40",
         "1",
         "5",
         {nul, "+0020.0", "+0021.0", ""},
         0},
        {"readings or days blank: a window of 0", "", "1", "5", {"10", "90", "10", ""}, 0},
        {"many differing pairs still raise one alarm",
         "40",
         "1",
         "1",
         {"1", "9", "2", "8", "3", "7", ""},
         1},
    };
    for (const auto &c : cases) {
        ForwardingBench b;
        b.station.phonebook[1] = number1;
        accelerationSetup(b.station, c.perDay, c.days, c.delta);
        readBack(b.station, 1, c.values);
        b.forwarding.checkAccelerationAlarms();
        ASSERT_EQ(b.modem.messages().size(), c.smsExpected) << c.legend;
        if (c.smsExpected > 0) {
            EXPECT_EQ(b.modem.messages()[0].text, "Jump; Channel 1") << c.legend;
        }
    }
}

// The rule as first stated: every reading in the window against every older one, newest first.
bool pairwiseAlarm(const std::vector<double> &entry, int first, int last, double delta) {
    for (int i = last; i > first; --i)
        for (int j = i - 1; j >= first; --j)
            if (std::abs(entry[std::size_t(j)] - entry[std::size_t(i)]) > delta)
                return true;
    return false;
}

TEST(AccelerationAlarm, AgreesWithComparingEveryPair) {
    std::mt19937 random(20260203);
    ForwardingBench b;
    b.station.phonebook[1] = number1;
    std::size_t alarms = 0;
    for (int round = 0; round < 300; ++round) {
        const int history = int(random() % 30);
        const int perDay = int(random() % 12);
        const int delta = int(random() % 40);
        std::vector<std::string> values;
        std::vector<double> numbers{0.0}; // entry 0 does not exist
        for (int j = 1; j <= history; ++j) {
            const int v = int(random() % 60) - 20;
            const bool blank = random() % 8 == 0;
            values.push_back(blank ? "       " : std::to_string(v));
            numbers.push_back(blank ? 0.0 : v);
        }
        accelerationSetup(b.station, std::to_string(perDay), "1", std::to_string(delta));
        readBack(b.station, 1, values);
        b.forwarding.checkAccelerationAlarms();
        const EntryRange w = accelerationWindow(history, perDay);
        const bool expected = !w.empty() && pairwiseAlarm(numbers, w.first, w.last, delta);
        alarms += expected;
        ASSERT_EQ(b.modem.messages().size(), alarms)
            << "L " << history << ", W " << perDay << ", delta " << delta;
    }
    EXPECT_GT(alarms, 50u);
}

TEST(AccelerationAlarm, AFileThisSessionDidNotWriteIsNotChecked) {
    ForwardingBench b;
    b.station.phonebook[1] = number1;
    accelerationSetup(b.station, "40", "1", "1");
    readBack(b.station, 1, {"10", "90", "10", ""});
    b.station.data.dataFileWritten = false; // an incomplete transfer: the file is an old one
    b.forwarding.checkAccelerationAlarms();
    EXPECT_TRUE(b.modem.messages().empty());
    EXPECT_TRUE(b.progress.contains("Acceleration alarms not checked: no data file was written"));
}

TEST(SmsBroadcast, GoesToEveryNumberBeginningWithPlusTwentySecondsApart) {
    ForwardingBench b;
    b.station.phonebook = {"", number1, "0301234567", "", "   ", number2, "", "", "", "", ""};
    b.forwarding.alarm().broadcast("Level; Channel 2");
    ASSERT_EQ(b.modem.messages().size(), 2u);
    EXPECT_EQ(b.modem.messages()[0].number, number1);
    EXPECT_EQ(b.modem.messages()[1].number, number2);
    EXPECT_GE(b.modem.messages()[1].time - b.modem.messages()[0].time, 20.0);
    EXPECT_EQ(b.smsPort.sentBytes(), "AT+CMGF=1\rAT+CMGS=\"+4911\"\rLevel; Channel 2\x1A"
                                     "AT+CMGF=1\rAT+CMGS=\"+4922\"\rLevel; Channel 2\x1A");
    EXPECT_TRUE(b.progress.contains(
        "Phone-book entry 2 \"0301234567\" does not begin with \"+\"; skipped"));
}

TEST(SmsBroadcast, APhoneBookOfBlanksSendsNothingAndSaysSo) {
    ForwardingBench b;
    b.station.phonebook.fill("   ");
    b.forwarding.alarm().broadcast("Level; Channel 2");
    EXPECT_EQ(b.smsPort.openCount(), 0);
    EXPECT_TRUE(b.progress.contains("Alarm \"Level; Channel 2\" to the phone book not sent: no "
                                    "phone-book number begins with \"+\""));
}

TEST(Sms, NumbersAndTextsGoOnTheLineOnlyAsText) {
    const struct {
        const char *legend;
        std::string number, text, expectedNumber, expectedText;
    } cases[] = {
        {"a carriage return and character 26 cannot start a second message", number1,
         "Hi\r\x1A"
         "AT+CMGS=\"+999\"\rspam",
         number1, "HiAT+CMGS=\"+999\"spam"},
        {"character 27 cannot abandon the message", number1,
         "a\x1B"
         "b",
         number1, "ab"},
        {"line breaks inside the number are removed", "+49\r\n11", "x", number1, "x"},
        {"UTF-8 goes out as 8-bit text", number1,
         "25 \xC2\xB0"
         "C",
         number1,
         "25 \xB0"
         "C"},
    };
    for (const auto &c : cases) {
        ForwardingBench b;
        b.forwarding.alarm().sendSms(c.number, c.text);
        ASSERT_EQ(b.modem.messages().size(), 1u) << c.legend;
        EXPECT_EQ(b.modem.messages()[0].number, c.expectedNumber) << c.legend;
        EXPECT_EQ(b.modem.messages()[0].text, c.expectedText) << c.legend;
        EXPECT_EQ(b.modem.abandoned(), 0) << c.legend;
        EXPECT_FALSE(b.smsPort.isOpen()) << c.legend;
    }
}

TEST(Sms, APortThatCannotBeOpenedIsALogLineAndNoStatus) {
    const struct {
        const char *legend;
        bool busy;
        std::string reasonPart;
    } cases[] = {
        {"another program holds the port", true, "port 3"},
        {"the adapter is gone", false, "port 3"},
    };
    for (const auto &c : cases) {
        ForwardingBench b;
        b.station.recordStatus("X");
        if (c.busy)
            b.smsPort.setBusy(true);
        else
            b.smsPort.unplug();
        b.forwarding.alarm().sendSms(number1, "x");
        EXPECT_TRUE(b.modem.messages().empty()) << c.legend;
        const std::string last = b.reports().back();
        EXPECT_NE(last.find("SMS to \"+4911\" not sent: " + c.reasonPart), std::string::npos)
            << c.legend << ": " << last;
        EXPECT_EQ(b.station.currentStatus(), "X") << c.legend;
    }
}

TEST(LimitAlarm, TextByConnectionAndDeliveryByNotifyKind) {
    const struct {
        const char *legend;
        std::string connection, notifyKind, expectedText;
    } cases[] = {
        {"local line, by mail", "locl0000", "0", "An alarm was triggered in the device KV12345678"},
        {"network 03 section 02, by mail", "netw0302", "0",
         "An alarm was triggered in Network 3 in Section 2 in the device KV12345678"},
        {"telephone number, by SMS", "0301234567", "1",
         "An alarm was triggered by tel. 0301234567 from device KV12345678"},
    };
    for (const auto &c : cases) {
        ForwardingBench b;
        DeviceRecord &d = b.station.devices[7];
        d[field::connection] = c.connection;
        d[field::alarmNotifyKind] = c.notifyKind;
        d[field::alarmAddress] = c.notifyKind == "0" ? "alarm@example.org" : number2;
        b.forwarding.sendLimitAlarm();
        if (c.notifyKind == "0") {
            ASSERT_EQ(b.mails.size(), 1u) << c.legend;
            const MailMessage &m = b.mails[0];
            EXPECT_EQ(m.text, c.expectedText) << c.legend;
            EXPECT_EQ(m.subject, "Korvane Alarm") << c.legend;
            EXPECT_EQ(m.server, b.station.settings.smtpHost) << c.legend;
            EXPECT_EQ(m.mailFrom, b.station.settings.alarmMailFrom) << c.legend;
            EXPECT_EQ(m.sendTo, "alarm@example.org") << c.legend;
            EXPECT_FALSE(m.authenticationType.has_value()) << c.legend;
            EXPECT_TRUE(b.progress.contains("sending alarm message to Mail address..."));
        } else {
            ASSERT_EQ(b.modem.messages().size(), 1u) << c.legend;
            EXPECT_EQ(b.modem.messages()[0].number, number2) << c.legend;
            EXPECT_EQ(b.modem.messages()[0].text, c.expectedText) << c.legend;
        }
    }
}

} // namespace
} // namespace vantrell

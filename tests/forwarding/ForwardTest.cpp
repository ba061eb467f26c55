#include "ForwardingBench.h"
#include "forwarding/CurlFtpSession.h"
#include "forwarding/MailHeaders.h"
#include "forwarding/MailSession.h"
#include "forwarding/ServerText.h"

#include <gtest/gtest.h>

namespace vantrell {
namespace {

using testing::ForwardingBench;
using Texts = std::vector<std::string>;

constexpr const char *dataFile = "/data/KV12_0905_030226.dat";

void forwardingDevice(ForwardingBench &b, const std::string &kind) {
    DeviceRecord &d = b.station.devices[7];
    d[field::forwardEnabled] = "1";
    d[field::forwardKind] = kind;
    testing::uploadTo(d, kind == "0" ? "data@example.org" : "ftp.example.org");
    d[field::smtpServer] = "mail.example.org:2525";
    b.loggerResult.path = dataFile;
}

// Subject, text and attachment are checked on a real server; here the choices around them.
TEST(DataMail, TheDevicesServerOrElseTheStationsAndAFailureIsALineAndAnOutcome) {
    ForwardingBench b;
    forwardingDevice(b, "0");
    EXPECT_TRUE(b.forwarding.sendDataMail(b.request(), b.loggerResult).delivery.delivered());
    b.station.devices[7][field::smtpServer] = " ";
    b.mailFailure = "server 127.0.0.1:25: Couldn't connect to server";
    EXPECT_FALSE(b.forwarding.sendDataMail(b.request(), b.loggerResult).delivery.delivered());
    ASSERT_EQ(b.mails.size(), 2u);
    EXPECT_EQ(b.mails[0].server, "mail.example.org:2525");
    EXPECT_EQ(b.mails[0].authenticationType, 0);
    EXPECT_EQ(b.mails[0].attachments, std::vector<std::string>{dataFile});
    EXPECT_EQ(b.mails[1].server, b.station.settings.smtpHost);
    EXPECT_EQ(b.reports().back(), "Mail to \"data@example.org\" not sent: server 127.0.0.1:25: "
                                  "Couldn't connect to server");
}

TEST(DataUpload, CommandsInOrderEachAfterThePreviousEnded) {
    const std::string put = "PUT /data/KV12_0905_030226.dat ./KV12_0905_030226.dat";
    const struct {
        const char *legend;
        const char *verb; // the command that behaves as told
        double seconds;   // how long that command takes
        double atMost;    // seconds the upload may take
        // The end of the last progress line, the told command's error, whether the PUT goes out.
        std::string logged = "sending data to FTP address...";
        const char *failure = "";
        bool uploads = true;
    } cases[] = {
        {"a quick server: the four commands in order", "DIR", 0.5, 10},
        {"a listing of 10 s delays the CD instead of ending the upload", "DIR", 10.0, 20},
        {"a CD that fails ends the upload before the PUT", "CD", 0.5, 10,
         "FTP host \"ftp.example.org\" not sent: CD /ForwardData: 550", "CD /ForwardData: 550",
         false},
        {"a PUT that never ends is abandoned within the bound", "PUT", 1e9, 400,
         "not sent: no end of the command within 330 s"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        ForwardingBench b;
        forwardingDevice(b, "1");
        b.ftpBehaviour[c.verb] = testing::FtpBehaviour{c.seconds, c.failure};
        b.forwarding.sendDataFtp(b.request(), b.loggerResult);
        std::vector<std::string> expected{"DIR", "CD /ForwardData", put, "CLOSE", "cancel"};
        if (!c.uploads)
            expected.erase(expected.begin() + 2);
        EXPECT_EQ(b.ftpCommands, expected);
        EXPECT_LE(b.now(), c.atMost);
        EXPECT_TRUE(b.reports().back().ends_with(c.logged)) << b.reports().back();
        EXPECT_EQ(b.ftpLogin.remoteHost + ":" + std::to_string(b.ftpLogin.remotePort) + " " +
                      b.ftpLogin.userName + " " + b.ftpLogin.password,
                  "ftp.example.org:21 logger secret");
    }
}

struct Due {
    int slot;
    std::string mark;
    bool active = true;
    bool scheduled = true; // at time 2
    bool retried = false;  // the outbox retries its failed delivery
    int sessions = 0;      // counted by [retry] in the time
};

TEST(RunReport, OneLinePerDueDeviceWithAKnownLetter) {
    const struct {
        const char *legend;
        std::vector<Due> devices;
        std::string lines; // of the body, between its heading and its end
    } cases[] = {
        {"no device due", {}, "No selected devices for this time\r\n"},
        {"device 1 read, device 4 with a wrong serial number",
         {{1, "X"}, {4, "P"}},
         "Device no.1 done succesfully\r\nDevice no.4 serial number incorrect\r\n"},
        {"device 12 not communicating", {{12, "L"}}, "Device no.12 not comunicating\r\n"},
        {"a due device without a mark counts but has no line", {{3, ""}}, ""},
        {"inactive or not scheduled devices do not count",
         {{2, "X", false}, {5, "X", true, false}},
         "No selected devices for this time\r\n"},
        {"the other letters",
         {{1, "M"}, {2, "C"}, {3, "S"}, {4, "T"}},
         "Device no.1 modem not ready or line in use\r\nDevice no.2 remote modem not ready\r\n"
         "Device no.3 switch not ready\r\nDevice no.4 switch not set\r\n"},
        {"the letters of a session that used up its attempts",
         {{1, "W"}, {2, "I"}, {3, "N"}},
         "Device no.1 data not saved\r\nDevice no.2 transfer incomplete\r\n"
         "Device no.3 logger not answering\r\n"},
        {"data read but a delivery failed; the outbox retries one",
         {{1, "F"}, {2, "A", true, true, true}},
         "Device no.1 data read, not forwarded\r\n"
         "Device no.2 data read, alarm not sent (retried from the outbox)\r\n"},
        {"read again in the time: the sessions after the final letter, from two on",
         {{1, "X", true, true, false, 2},
          {2, "N", true, true, false, 3},
          {3, "X", true, true, false, 1}},
         "Device no.1 done succesfully (2 sessions)\r\n"
         "Device no.2 logger not answering (3 sessions)\r\n"
         "Device no.3 done succesfully\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
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
            if (d.sessions > 0)
                b.station.sessionsInTime[{2, d.slot}] = d.sessions;
        }
        b.forwarding.sendRunReport();
        ASSERT_EQ(b.mails.size(), 1u);
        const MailMessage &m = b.mails[0];
        EXPECT_EQ(m.text, "This is a report for all devices:\r\n" + c.lines + "End report.");
        EXPECT_EQ(m.subject, "Report of scheduled time 08:00");
        EXPECT_EQ(m.sendTo, "ops@example.org");
        EXPECT_EQ(m.mailFrom, b.station.settings.reportMailFrom);
        EXPECT_EQ(m.server, b.station.settings.smtpHost);
        EXPECT_TRUE(b.progress.contains("Sending report to ops@example.org..."));
    }
}

// The texts the station checks before it asks any server.
TEST(ServerText, HostAndOptionalPortAndNothingElse) {
    const struct {
        const char *legend, *text, *parsed; // parsed: "host port", "" when refused
    } cases[] = {
        {"a name takes the default port", "mail.example.org", "mail.example.org 25"},
        {"a port after a colon, blanks around", " 127.0.0.1:2525 ", "127.0.0.1 2525"},
        {"IPv6 in brackets", "[::1]:587", "::1 587"},
        {"empty", "", ""},
        {"a blank inside", "mail example.org", ""},
        {"a scheme or a path is not a host", "smtp://mail.example.org/x", ""},
        {"a port that is not a number", "mail.example.org:smtp", ""},
        {"a port out of range", "mail.example.org:65536", ""},
        {"a user part would reach the URL", "user@mail.example.org", ""},
        {"a line break would reach the URL", "mail\r\nRCPT", ""},
    };
    for (const auto &c : cases) {
        const auto server = parseServerText(c.text, smtpPort);
        EXPECT_EQ(server ? server->host + " " + std::to_string(server->port) : "", c.parsed)
            << c.legend;
    }
}

TEST(MailAddress, OneAddressWithoutAnythingThatEndsACommand) {
    const struct {
        const char *legend, *text;
        bool valid;
    } cases[] = {
        {"plain", "ops@example.org", true},
        {"no @", "ops.example.org", false},
        {"a blank inside", "ops team@example.org", false},
        {"two addresses", "a@example.org,b@example.org", false},
        {"a line break would start another command", "a@example.org\r\nRCPT TO:<x@y>", false},
        {"an angle bracket would end the path", "a@example.org>", false},
        {"nothing before the @, or two of them", "@a@example.org", false},
        {"U+0085 (next line) is a control character too", "a@example.org\xC2\x85", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isMailAddress(c.text), c.valid) << c.legend;
}

TEST(MailMessage, ProblemsFoundBeforeAnyServerIsAsked) {
    const struct {
        const char *legend, *server, *to, *attachment, *problem;
    } cases[] = {
        {"a good message, blanks around the recipient", "localhost", " b@y.org ", nullptr, ""},
        {"a server text that is not a host", "not a host", "b@y.org", nullptr,
         "server \"not a host\" is not a host name with an optional :port"},
        {"a recipient with a blank", "localhost", "b c@y.org", nullptr,
         "recipient \"b c@y.org\" is not a mail address"},
        {"an attachment that vanished", "localhost", "b@y.org", "/no/such/file.dat",
         "attachment \"/no/such/file.dat\" does not exist"},
        {"an attachment name that would split its header", "localhost", "b@y.org",
         "/data/KV1\nBcc:x.dat",
         "attachment \"/data/KV1\nBcc:x.dat\" has a control character in its name"},
    };
    for (const auto &c : cases) {
        MailMessage m;
        m.server = c.server;
        m.mailFrom = "a@x.org";
        m.sendTo = c.to;
        if (c.attachment != nullptr)
            m.attachments.emplace_back(c.attachment);
        EXPECT_EQ(messageProblem(m), c.problem) << c.legend;
    }
}

TEST(MailHeaders, DateMessageIdAndSafeValues) {
    EXPECT_EQ(mailDate({2026, 2, 3, 9, 5, 0}, 3600), "Tue, 03 Feb 2026 09:05:00 +0100");
    EXPECT_EQ(mailDate({2026, 12, 31, 23, 59, 59}, -16200), "Thu, 31 Dec 2026 23:59:59 -0430");
    EXPECT_EQ(messageId("abc", "vantrell-data@station.example.org"), "<abc@station.example.org>");
    EXPECT_EQ(messageId("abc", "broken"), "<abc@localhost>");
    EXPECT_NE(uniqueToken(), uniqueToken());
    EXPECT_EQ(headerValue("Data from device KV1\r\nBcc: x@y"), "Data from device KV1  Bcc: x@y");
    EXPECT_EQ(headerValue("KV1\a\t\177-2"), "KV1   -2");
    EXPECT_EQ(headerValue("25 \302\260C"), "=?UTF-8?B?MjUgwrBD?=");
    EXPECT_EQ(headerValue("25 \302\260C\xC2\x85"), "=?UTF-8?B?MjUgwrBDIA==?=");
    MailMessage m;
    m.mailFrom = " a@x.org ";
    m.sendTo = "b@y.org";
    m.subject = "Data from device KV1\nBcc: c@z.org";
    EXPECT_EQ(
        mailHeaderLines(m, "Tue, 03 Feb 2026 09:05:00 +0100", "abc"),
        (std::vector<std::string>{"Date: Tue, 03 Feb 2026 09:05:00 +0100",
                                  "Message-ID: <abc@x.org>", "From: <a@x.org>", "To: <b@y.org>",
                                  "Subject: Data from device KV1 Bcc: c@z.org"}));
}

TEST(MailHeaders, AttachmentNamesAsMailClientsReadThem) {
    const struct {
        const char *legend, *name, *disposition;
    } cases[] = {
        {"a data file's name, quoted", "KV12_0905_030226.dat",
         "attachment; filename=\"KV12_0905_030226.dat\""},
        {"blanks fit in the quotes", "KV12 0905.dat", "attachment; filename=\"KV12 0905.dat\""},
        {"a quote would end the quoted name", "KV\"12.dat",
         "attachment; filename*=UTF-8''KV%2212.dat"},
        {"so would a backslash escape", "KV\\12.dat", "attachment; filename*=UTF-8''KV%5C12.dat"},
        {"non-ASCII goes as UTF-8", "K\xC3\xBCvette 1.dat",
         "attachment; filename*=UTF-8''K%C3%BCvette%201.dat"},
        {"a line break never reaches the header", "KV1\r\nBcc:x.dat",
         "attachment; filename*=UTF-8''KV1%0D%0ABcc%3Ax.dat"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(attachmentDisposition(c.name), c.disposition) << c.legend;
}

TEST(FtpCommand, TheFourCommandsAndNothingElse) {
    const auto parsed = [](const char *text) -> std::string {
        const auto c = parseFtpCommand(text);
        return c ? std::to_string(int(c->kind)) + "|" + c->first + "|" + c->second : "refused";
    };
    EXPECT_EQ(parsed("DIR"), "0||");
    EXPECT_EQ(parsed("CD /Forward Data"), "1|/Forward Data|");
    EXPECT_EQ(parsed("PUT /data/KV12.dat ./KV12.dat"), "2|/data/KV12.dat|./KV12.dat");
    EXPECT_EQ(parsed("close"), "3||");
    EXPECT_EQ(parsed("CD "), "refused");
    EXPECT_EQ(parsed("PUT /data/KV12.dat"), "refused");
    EXPECT_EQ(parsed("DELE x"), "refused");
    EXPECT_EQ(parsed("PUT /my data/KV12.dat ./KV12.dat"), "refused");
    EXPECT_EQ(parsed("PUT \"/data/KV12.dat ./KV12.dat"), "refused");
    // Both names come back whole, whatever they hold.
    for (const std::string name : {"KV12 0905 030226.dat", "KV\"12\\ x\".dat", "x", " KV12.dat "}) {
        const std::string local = "/my data/" + name;
        const std::string remote = "./" + name;
        EXPECT_EQ(parsed(("PUT " + ftpArgument(local) + " " + ftpArgument(remote)).c_str()),
                  "2|" + local + "|" + remote)
            << name;
    }
    EXPECT_EQ(ftpArgument("/data/KV12_0905_030226.dat"), "/data/KV12_0905_030226.dat");
    EXPECT_EQ(ftpArgument("./KV12 x.dat"), "\"./KV12 x.dat\"");
    // A leading "/" starts from the server's root, the rest from the log-in folder.
    EXPECT_EQ(ftpFolderPath("", "/a/b c"), "/%2Fa/b%20c");
    EXPECT_EQ(ftpFolderPath("/%2Fa", "b"), "/%2Fa/b");
    EXPECT_EQ(ftpFilePath("/%2Fa", "./KV12.dat"), "/%2Fa/KV12.dat");
}

// A station with one SMS number, the loggers' channels set up by the tests.
struct AlarmBench : ForwardingBench {
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
    // With the station's channel setup, or none where it could not be read; the acceleration
    // alarms on the readings of a file this session wrote, or did not write.
    std::size_t checkAbsolute(const ChannelSetup *setup) {
        return forwarding.checkAbsoluteAlarms(request(), setup, loggerResult).size();
    }
    std::size_t checkAcceleration(const ChannelSetup *setup, bool written = true) {
        loggerResult.saved = written ? MemorySaved::inFile : MemorySaved::notWritten;
        const auto &readings = loggerResult.readings;
        return forwarding.checkAccelerationAlarms(request(), setup, loggerResult, readings).size();
    }
    std::vector<std::string> smsTexts() const {
        std::vector<std::string> out;
        for (const sim::SmsMessage &m : modem.messages())
            out.push_back(m.number + " " + m.text);
        return out;
    }
};

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
        std::string logged = "";
    } cases[] = {
        {"record 8 above 50, record 9 too: one alarm", "0", "50", "10,20,30,40,45,49,50,51,60", 1},
        {"a blank reading counts as 0, below a minimum of 5", "5", "50", "10,_", 1},
        {"the limits themselves are in range", "0", "50", "50,0", 0},
        {"limits that are not numbers count as 0, and say so", "low", "high", "1", 1,
         "Alarm setup of channel 6: maximum \"high\" is not a number; taken as 0"},
        {"14999.5, shown as +15000., is below a maximum of 14999.6", "0", "14999.6",
         "+15000.=14999.5", 0},
        {"14999.4, shown as +14999., is above a maximum of 14999.2", "0", "14999.2",
         "+14999.=14999.4", 1},
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
        b.checkAbsolute(&b.station.channelSetup);
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
    EXPECT_EQ(b.checkAbsolute(nullptr), 0u);
    EXPECT_EQ(b.checkAcceleration(nullptr), 0u);
}

TEST(AccelerationAlarm, RaisedWhenTwoReadingsInTheWindowDifferByMoreThanTheDelta) {
    const struct {
        const char *legend;
        std::string perDay, delta;
        const char *values; // entries 1..L; "_" blank, "~" never written; entry L is the line
                            // after the last record
        std::size_t alarms;
        bool written = true; // the file this session wrote
    } cases[] = {
        {"4 a day for 1 day, L = 10: 16 against 10 in entries 6-9", "4", "5",
         "10,10,10,10,10,10,10,16,10,", 1},
        {"a spread of exactly the delta is no alarm", "4", "5", "10,10,10,10,10,10,15,10,10,", 0},
        {"the jump lies before the window (entry 5)", "4", "5", "10,10,10,10,99,10,10,10,10,", 0},
        {"a window larger than the history starts at entry 1", "40", "5", "90,10,10,", 1},
        {"so does one as long as the history (there is no entry 0)", "4", "5", "90,10,10,", 1},
        {"a window of 0 entries compares nothing", "0", "5", "10,90,10,", 0},
        {"a blank reading in the window counts as 0", "4", "5", "10,10,10,10,10,10,_,10,10,", 1},
        {"the never-written third record of a new file does not count", "40", "5",
         "~,+0020.0,+0021.0,", 0},
        {"many differing pairs still raise one alarm", "40", "1", "1,9,2,8,", 1},
        {"14999.6 and 15000.4 are both +15000. but differ by more than 0.5", "40", "0.5",
         "+15000.=14999.6,+15000.=15000.4,", 1},
        {"a file this session did not write is not checked", "40", "1", "10,90,", 0, false},
    };
    for (const auto &c : cases) {
        AlarmBench b;
        b.setup(1, setup::readingsPerDay) = c.perDay;
        b.setup(1, setup::accelAlarmOn) = "1";
        b.setup(1, setup::accelDays) = "1";
        b.setup(1, setup::accelDelta) = c.delta;
        b.setup(1, setup::accelMessage) = "Jump";
        b.readings(1, entries(c.values));
        b.checkAcceleration(&b.station.channelSetup, c.written);
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

    // A port in use is a log line and a failed outcome.
    b.smsPort.setBusy(true);
    EXPECT_FALSE(b.forwarding.alarm().sendSms("+4911", "x").delivery.delivered());
    EXPECT_EQ(b.modem.messages().size(), 2u);
    EXPECT_EQ(b.reports().back(),
              "SMS to \"+4911\" not sent: port 3 (simulated line): in use by another program");
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

// One record per alarm, an SMS to the whole phone book included, with what became of it.
TEST(AlarmRecord, OnePerAlarmWithWhatBecameOfIt) {
    const Sent sent, lost{Delivery::failed("ERROR")}, kept{Delivery::failed("busy"), true};
    const struct {
        const char *legend;
        std::vector<Sent> outcomes; // one per number of a broadcast
        std::string outcome;
    } cases[] = {
        {"the outbox keeps the one message", {kept}, "kept for a retry"},
        {"1 of 3 lost", {sent, lost, sent}, "not sent: 1 of 3 numbers did not get it (ERROR)"},
        {"the outbox keeps all lost",
         {kept, sent, kept},
         "not sent: 2 of 3 numbers did not get it (busy), kept for a retry"},
        {"one kept, one lost", {kept, lost}, "not sent: 2 of 2 numbers did not get it (busy)"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(alarmOutcome(c.outcomes), c.outcome) << c.legend;

    // A channel alarm to the phone book, then the limit alarm by a mail that fails.
    AlarmBench b;
    std::vector<AlarmRow> rows;
    b.forwarding.alarm().recordAlarmsBy([&](AlarmRow &row) { rows.push_back(row); });
    b.setup(2, setup::absAlarmOn) = "1";
    b.setup(2, setup::absMinimum) = "5";
    b.setup(2, setup::absMessage) = "Level";
    b.readings(2, {"1"});
    b.checkAbsolute(&b.station.channelSetup);
    b.station.devices[7][field::alarmAddress] = "alarm@example.org";
    b.mailFailure = "550 no";
    b.forwarding.sendLimitAlarm(b.request(), b.loggerResult);
    // Each raised as it starts to go out: the limit alarm after the broadcast and its pauses.
    const UtcSeconds start = toUtc(LocalDateTime{2026, 2, 3, 9, 5, 0}).utc;
    EXPECT_EQ(rows, (std::vector<AlarmRow>{
                        {0, start, 7, 2, "channel alarm", "Level; Channel 2", "sent"},
                        {0, start + 23, 7, 0, "limit alarm",
                         "An alarm was triggered in the device KV12345678", "not sent: 550 no"}}));
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

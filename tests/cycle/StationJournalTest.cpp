// The loop's side of the journal: what a reading session leaves there, the silent-station alarm
// it drives, and a journal that cannot be written, which must never cost a session its data file.
#include "CycleBench.h"
#include "FullDisk.h"
#include "journal/LocalTime.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>

namespace vantrell {
namespace {

using testing::CycleBench;
using testing::FullDisk;
using testing::loggerWith;

ConfSettings settingsWith(std::optional<JournalSettings> journal,
                          std::optional<SilenceSettings> silence = std::nullopt) {
    ConfSettings settings;
    settings.journal = journal;
    settings.silence = silence;
    return settings;
}

const ConfSettings journalOn = settingsWith(JournalSettings{});

int journalLines(const CycleBench &b) {
    int lines = 0;
    for (const std::string &text : b.progress.texts(ProgressLine::detail))
        lines += text.starts_with("journal ");
    return lines;
}

// Twenty records from 2 February 00:00, ten minutes apart, read on 3 February at 02:00; the first
// session of a day prunes what is older than keep_days.
TEST(StationJournal, ASessionRowAndTheReadingsOfItsFile) {
    const struct {
        const char *legend;
        int scheduleTime;
        const char *fault;
        bool stopRequested;
        const char *letter;
        std::int64_t recordsRead;
        int attempts, keepDays;
        int kept; // readings of each channel in the journal
    } cases[] = {
        {"healthy, schedule time 2", 2, "", false, "X", 20, 1, 400, 20},
        {"one day kept: from the session's end a day before, 02:10 on", 1, "", false, "X", 20, 1, 1,
         7},
        {"transfer cut: records read, no file", 3, "stopsAfterRecord:8", false, "I", 24, 3, 400, 0},
        {"abandoned at shutdown: no letter", 4, "", true, "", 0, 0, 400, 0},
    };
    for (const auto &c : cases) {
        CycleBench b({2026, 2, 3, 2, 0, 0},
                     settingsWith(JournalSettings{"journal.sqlite", c.keepDays}));
        b.configure(1, "locl0000", {"KV00000001"}, false);
        b.port.attach(b.addLogger(loggerWith("KV00000001", 20, testing::faults(c.fault))));
        b.station.session.stopRequested = c.stopRequested;
        (void)b.read(1, c.scheduleTime);

        const std::unique_ptr<Journal> journal = b.readJournal();
        ASSERT_NE(journal, nullptr) << c.legend;
        DeviceJournal seen;
        ASSERT_FALSE(journal->deviceJournal(1, seen)) << c.legend;
        ASSERT_TRUE(seen.lastSession.has_value()) << c.legend;
        const SessionRow &row = *seen.lastSession;
        EXPECT_EQ(row.letter, c.letter) << c.legend;
        EXPECT_EQ(row.scheduleTime, c.scheduleTime) << c.legend;
        EXPECT_EQ(row.recordsRead, c.recordsRead) << c.legend;
        EXPECT_EQ(row.attempts, c.attempts) << c.legend;
        EXPECT_EQ(row.started, toUtc({2026, 2, 3, 2, 0, 0}).utc) << c.legend;
        EXPECT_GE(row.ended, row.started) << c.legend;
        EXPECT_EQ(!row.dataFile.empty() && std::filesystem::exists(row.dataFile), c.kept > 0)
            << c.legend;

        // The logger's records, ten minutes apart, reading by reading.
        std::map<int, int> perChannel;
        const UtcSeconds first = toUtc({2026, 2, 2, 0, 0, 0}).utc + 600 * (20 - c.kept);
        ASSERT_FALSE(journal->forEachReading({1, {}, {}, {}}, [&](const ExportedReading &r) {
            const int k = perChannel[r.channel]++;
            EXPECT_EQ(r.serial, "KV00000001");
            EXPECT_EQ(r.utc, first + 600 * k);
            EXPECT_FALSE(r.valueText.empty());
        })) << c.legend;
        EXPECT_EQ(perChannel.empty(), c.kept == 0) << c.legend;
        for (const auto &[channel, count] : perChannel)
            EXPECT_EQ(count, c.kept) << c.legend << ", channel " << channel;
    }
}

TEST(StationJournal, TheSilentAlarmGoesOutOncePerSilenceAndOnceWhenTheStationAnswers) {
    // Sessions in order: "-" a silent logger, "X" one that is read.
    const std::string silent = "Station silent: device 1 -> ";
    const std::string again = "Station answering again: device 1 -> ";
    const struct {
        const char *legend;
        int afterMissed;
        bool alarmsOn; // by mail to the alarm address; off: to the report address
        const char *sessions;
        std::string mails; // "after session k: subject -> address", in order
    } cases[] = {
        {"two missed, then read", 2, true, "---X-",
         "2: " + silent + "alarm@example.org 4: " + again + "alarm@example.org "},
        {"alarms off: the report address", 1, false, "-X-",
         "1: " + silent + "ops@example.org 2: " + again + "ops@example.org 3: " + silent +
             "ops@example.org "},
        {"read before the count is reached", 3, true, "--X--", ""},
        {"0 turns it off", 0, true, "----", ""},
        {"no alarm, so no answering again", 2, true, "X-X", ""},
    };
    for (const auto &c : cases) {
        CycleBench b({2026, 2, 3, 9, 5, 0},
                     settingsWith(std::nullopt, SilenceSettings{c.afterMissed}));
        DeviceRecord &device = b.configure(1, "locl0000", {"KV00000001"}, false);
        device[field::description] = "Pump house";
        device[field::alarmEnabled] = c.alarmsOn ? "1" : "0";
        device[field::alarmNotifyKind] = "0";
        device[field::alarmAddress] = "alarm@example.org";
        device[field::reportAddress] = "ops@example.org";
        auto &silentLogger = b.addLogger(loggerWith("KV00000001", 5, testing::faults("silent")));
        auto &answering = b.addLogger(loggerWith("KV00000001", 5));

        std::string mails;
        const std::string sessions = c.sessions;
        std::size_t sent = 0;
        for (std::size_t k = 0; k < sessions.size(); ++k) {
            b.port.attach(sessions[k] == 'X' ? answering : silentLogger);
            (void)b.read(1, int(k % scheduleTimeCount) + 1);
            ASSERT_EQ(b.mark(1, int(k % scheduleTimeCount) + 1) == "X", sessions[k] == 'X')
                << c.legend;
            for (std::size_t m = sent; m < b.alarmMails.size(); ++m, ++sent)
                mails += std::to_string(k + 1) + ": " + b.alarmMails[m].subject + " -> " +
                         b.alarmMails[m].sendTo + " ";
        }
        EXPECT_EQ(mails, c.mails) << c.legend;
        if (!b.alarmMails.empty() && sessions.front() == '-') {
            const std::string &text = b.alarmMails.front().text;
            EXPECT_NE(text.find("Device 1 \"Pump house\""), std::string::npos) << text;
            EXPECT_NE(text.find("Last good read: never"), std::string::npos) << text;
            EXPECT_NE(text.find("Last letters: " + std::string(c.afterMissed, 'S')),
                      std::string::npos)
                << text;
        }
    }
}

TEST(StationJournal, AJournalThatCannotBeWrittenCostsNoSessionItsDataFile) {
    for (const bool fullDisk : {false, true}) {
        const char *legend = fullDisk ? "a full disk" : "a file that is no journal";
        CycleBench b({2026, 2, 3, 9, 5, 0}, journalOn);
        b.configure(1, "locl0000", {"KV00000001"}, false);
        b.port.attach(b.addLogger(loggerWith("KV00000001", 5)));
        const std::filesystem::path dataFile = b.folder.path() / "data" / "KV00000001.dat";
        std::optional<FullDisk> disk;
        if (fullDisk) {
            ASSERT_NE(b.journal.journal(), nullptr);
            disk.emplace(4096); // room for the data file and the marks, none for a journal page
        } else {
            std::ofstream(b.journal.file()) << "these are not the pages of a database\n";
        }

        // Two sessions at schedule time 1, one at time 2: one line for each time.
        for (const int time : {1, 1, 2}) {
            const auto sizeBefore = std::filesystem::exists(dataFile)
                                        ? std::filesystem::file_size(dataFile)
                                        : std::uintmax_t(0);
            (void)b.read(1, time);
            EXPECT_EQ(b.mark(1, time), "X") << legend;
            ASSERT_TRUE(std::filesystem::exists(dataFile)) << legend;
            EXPECT_GT(std::filesystem::file_size(dataFile), sizeBefore) << legend;
        }
        EXPECT_EQ(journalLines(b), 2) << legend;

        // Mended, it is used again from the next schedule time on.
        disk.reset();
        if (!fullDisk)
            std::filesystem::remove(b.journal.file());
        (void)b.read(1, 3);
        EXPECT_EQ(journalLines(b), 2) << legend;
        const std::unique_ptr<Journal> journal = b.readJournal();
        ASSERT_NE(journal, nullptr) << legend;
        DeviceJournal seen;
        ASSERT_FALSE(journal->deviceJournal(1, seen)) << legend;
        ASSERT_TRUE(seen.lastSession.has_value()) << legend;
        EXPECT_EQ(seen.lastSession->scheduleTime, 3) << legend;
    }
}

} // namespace
} // namespace vantrell

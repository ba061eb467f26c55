// The loop's side of the journal: what a reading session leaves there, the silent-station alarm
// it drives, and a journal that cannot be written, which must never cost a session its data file.
#include "CycleBench.h"
#include "FullDisk.h"
#include "journal/LocalTime.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
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

// One reading session of device 1 as for the schedule time of `dailyMarkIndex`.
void readAt(CycleBench &b, int dailyMarkIndex) {
    (void)b.read(1, dailyMarkIndex / 2 + 1);
}

int journalLines(const CycleBench &b) {
    int lines = 0;
    for (const std::string &text : b.progress.texts(ProgressLine::detail))
        lines += text.starts_with("journal ");
    return lines;
}

TEST(StationJournal, ASessionRowAndTheReadingsOfItsFile) {
    const struct {
        const char *legend;
        int dailyMarkIndex;
        std::vector<sim::Fault> faults;
        bool stopRequested;
        const char *letter;
        std::int64_t recordsRead;
        int attempts;
        bool dataFile;
    } cases[] = {
        {"healthy, schedule time 2", 3, {}, false, "X", 20, 1, true},
        {"silent logger: three attempts",
         1,
         {{sim::FaultKind::silent, 0}},
         false,
         "S",
         0,
         3,
         false},
        {"transfer cut: records read, no file",
         5,
         {{sim::FaultKind::stopsAfterRecord, 8}},
         false,
         "I",
         24,
         3,
         false},
        {"abandoned at shutdown: no letter", 7, {}, true, "", 0, 0, false},
    };
    for (const auto &c : cases) {
        CycleBench b({2026, 2, 3, 9, 5, 0}, journalOn);
        b.configure(1, "locl0000", {"KV00000001"}, false);
        auto &logger = b.addLogger(loggerWith("KV00000001", 20, c.faults));
        b.port.attach(logger);
        b.station.session.stopRequested = c.stopRequested;
        readAt(b, c.dailyMarkIndex);

        const std::unique_ptr<Journal> journal = b.readJournal();
        ASSERT_NE(journal, nullptr) << c.legend;
        DeviceJournal seen;
        ASSERT_FALSE(journal->deviceJournal(1, seen)) << c.legend;
        ASSERT_TRUE(seen.lastSession.has_value()) << c.legend;
        const SessionRow &row = *seen.lastSession;
        EXPECT_EQ(row.letter, c.letter) << c.legend;
        EXPECT_EQ(row.scheduleTime, c.dailyMarkIndex / 2 + 1) << c.legend;
        EXPECT_EQ(row.recordsRead, c.recordsRead) << c.legend;
        EXPECT_EQ(row.attempts, c.attempts) << c.legend;
        EXPECT_EQ(row.started, toUtc({2026, 2, 3, 9, 5, 0}).utc) << c.legend;
        EXPECT_GE(row.ended, row.started) << c.legend;
        EXPECT_EQ(row.dataFile.empty(), !c.dataFile) << c.legend;
        if (c.dataFile) {
            EXPECT_TRUE(std::filesystem::exists(row.dataFile)) << c.legend;
        }

        // The logger's records, ten minutes apart from its first, reading by reading.
        std::map<int, int> perChannel;
        const UtcSeconds first = toUtc({2026, 2, 2, 0, 0, 0}).utc;
        ASSERT_FALSE(journal->forEachReading({1, {}, {}, {}}, [&](const ExportedReading &r) {
            const int k = perChannel[r.channel]++;
            EXPECT_EQ(r.serial, "KV00000001");
            EXPECT_EQ(r.utc, first + 600 * k);
            EXPECT_FALSE(r.valueText.empty());
        })) << c.legend;
        if (!c.dataFile) {
            EXPECT_TRUE(perChannel.empty()) << c.legend;
            continue;
        }
        EXPECT_FALSE(perChannel.empty()) << c.legend;
        for (const auto &[channel, count] : perChannel)
            EXPECT_EQ(count, c.recordsRead) << c.legend << ", channel " << channel;
    }
}

TEST(StationJournal, TheFirstSessionOfADayPrunesWhatIsOlderThanKeepDays) {
    // Twenty records from 2 February 00:00, ten minutes apart; read on 3 February at 02:00.
    const struct {
        const char *legend;
        int keepDays;
        int kept; // readings of each channel
    } cases[] = {
        {"400 days keep them all", 400, 20},
        {"one day keeps those after the session's end, a day before: 02:10 on", 1, 7},
    };
    for (const auto &c : cases) {
        CycleBench b({2026, 2, 3, 2, 0, 0},
                     settingsWith(JournalSettings{"journal.sqlite", c.keepDays}));
        b.configure(1, "locl0000", {"KV00000001"}, false);
        auto &logger = b.addLogger(loggerWith("KV00000001", 20));
        b.port.attach(logger);
        readAt(b, 1);
        ASSERT_EQ(b.mark(1, 1), "X") << c.legend;

        std::map<int, int> perChannel;
        ASSERT_FALSE(b.readJournal()->forEachReading(
            {1, {}, {}, {}}, [&](const ExportedReading &r) { ++perChannel[r.channel]; }))
            << c.legend;
        ASSERT_FALSE(perChannel.empty()) << c.legend;
        for (const auto &[channel, count] : perChannel)
            EXPECT_EQ(count, c.kept) << c.legend << ", channel " << channel;
    }
}

TEST(StationJournal, TheSilentAlarmGoesOutOncePerSilenceAndOnceWhenTheStationAnswers) {
    // Sessions in order: "-" a silent logger, "X" one that is read.
    const struct {
        const char *legend;
        int afterMissed;
        bool alarmsOn; // by mail to the alarm address; off: to the report address
        const char *sessions;
        std::vector<std::string> mails; // "after session k: subject -> address"
    } cases[] = {
        {"two missed, then read",
         2,
         true,
         "---X-",
         {"2: Station silent: device 1 -> alarm@example.org",
          "4: Station answering again: device 1 -> alarm@example.org"}},
        {"alarms off: the report address",
         1,
         false,
         "-X-",
         {"1: Station silent: device 1 -> ops@example.org",
          "2: Station answering again: device 1 -> ops@example.org",
          "3: Station silent: device 1 -> ops@example.org"}},
        {"read before the count is reached", 3, true, "--X--", {}},
        {"0 turns it off", 0, true, "----", {}},
        {"no alarm, so no answering again", 2, true, "X-X", {}},
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
        auto &silent = b.addLogger(loggerWith("KV00000001", 5, {{sim::FaultKind::silent, 0}}));
        auto &answering = b.addLogger(loggerWith("KV00000001", 5));

        std::vector<std::string> mails;
        const std::string sessions = c.sessions;
        for (std::size_t k = 0; k < sessions.size(); ++k) {
            b.port.attach(sessions[k] == 'X' ? answering : silent);
            readAt(b, 2 * int(k % scheduleTimeCount) + 1);
            ASSERT_EQ(b.mark(1, int(k % scheduleTimeCount) + 1) == "X", sessions[k] == 'X')
                << c.legend;
            for (std::size_t m = mails.size(); m < b.alarmMails.size(); ++m)
                mails.push_back(std::to_string(k + 1) + ": " + b.alarmMails[m].subject + " -> " +
                                b.alarmMails[m].sendTo);
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
    const struct {
        const char *legend;
        std::function<void(CycleBench &, std::optional<FullDisk> &)> spoil;
        std::function<void(CycleBench &, std::optional<FullDisk> &)> mend;
    } cases[] = {
        {"a file that is no journal",
         [](CycleBench &b, std::optional<FullDisk> &) {
             std::ofstream(b.journal.file()) << "these are not the pages of a database\n";
         },
         [](CycleBench &b, std::optional<FullDisk> &) {
             std::filesystem::remove(b.journal.file());
         }},
        {"a full disk",
         [](CycleBench &b, std::optional<FullDisk> &disk) {
             ASSERT_NE(b.journal.journal(), nullptr);
             // Room for the data file and the marks, none for a page of the journal.
             disk.emplace(4096);
         },
         [](CycleBench &, std::optional<FullDisk> &disk) { disk.reset(); }},
    };
    for (const auto &c : cases) {
        CycleBench b({2026, 2, 3, 9, 5, 0}, journalOn);
        b.configure(1, "locl0000", {"KV00000001"}, false);
        auto &logger = b.addLogger(loggerWith("KV00000001", 5));
        b.port.attach(logger);
        const std::filesystem::path dataFile = b.folder.path() / "data" / "KV00000001.dat";
        std::optional<FullDisk> disk;
        c.spoil(b, disk);

        // Two sessions at schedule time 1, one at time 2: one line for each time.
        for (const int dailyMarkIndex : {1, 1, 3}) {
            const auto sizeBefore = std::filesystem::exists(dataFile)
                                        ? std::filesystem::file_size(dataFile)
                                        : std::uintmax_t(0);
            readAt(b, dailyMarkIndex);
            EXPECT_EQ(b.mark(1, dailyMarkIndex / 2 + 1), "X") << c.legend;
            ASSERT_TRUE(std::filesystem::exists(dataFile)) << c.legend;
            EXPECT_GT(std::filesystem::file_size(dataFile), sizeBefore) << c.legend;
        }
        EXPECT_EQ(journalLines(b), 2) << c.legend;

        // Mended, it is used again from the next schedule time on.
        c.mend(b, disk);
        readAt(b, 5);
        EXPECT_EQ(journalLines(b), 2) << c.legend;
        const std::unique_ptr<Journal> journal = b.readJournal();
        ASSERT_NE(journal, nullptr) << c.legend;
        DeviceJournal seen;
        ASSERT_FALSE(journal->deviceJournal(1, seen)) << c.legend;
        ASSERT_TRUE(seen.lastSession.has_value()) << c.legend;
        EXPECT_EQ(seen.lastSession->scheduleTime, 3) << c.legend;
    }
}

} // namespace
} // namespace vantrell

// Sessions, the per-device state kept beside them, deliveries, and journals that are not fit.
#include "JournalFixture.h"

#include "FullDisk.h"
#include "journal/Schema.h"
#include "sim/virtualtime/VirtualClock.h"

#include <fstream>
#include <functional>

namespace vantrell::testing {
namespace {

SessionRow session(int device, std::string letter, UtcSeconds ended) {
    return {device, 2, ended - 90, ended, std::move(letter), 120, "/data/KV1.dat", 1};
}

TEST_F(JournalTest, CountsMissedTimesAndKeepsTheLastGoodRead) {
    struct Case {
        const char *legend;
        std::string letters; // of the sessions of device 3, in order; "-" abandoned at shutdown
        int missed;
        std::optional<UtcSeconds> lastGood;
        std::string lastLetters;
    };
    const std::vector<Case> cases{
        {"never read", "", 0, std::nullopt, ""},
        {"good read", "X", 0, 1000, "X"},
        {"two failures after a good one", "XCM", 2, 1000, "XCM"},
        {"a good read clears the count", "CCX", 0, 3000, "CCX"},
        {"abandoned at shutdown leaves the count", "C-C", 2, std::nullopt, "CC"},
        {"data saved but a delivery failed is a good read", "CFCA", 0, 4000, "CFCA"},
        {"only the newest ten letters", "XBCDEGHIJKL", 10, 1000, "BCDEGHIJKL"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        std::unique_ptr<Journal> fresh;
        TempFolder own;
        ASSERT_EQ(Journal::open(own / "j.sqlite", Journal::Access::write, fresh).text, "");
        ASSERT_EQ(fresh->recordSession(session(4, "X", 50)).text, ""); // another device
        UtcSeconds ended = 0;
        std::string letter;
        for (const char l : c.letters) {
            letter = l == '-' ? "" : std::string(1, l);
            ASSERT_EQ(fresh->recordSession(session(3, letter, ended += 1000)).text, "");
        }
        ASSERT_EQ(fresh->recordSession(session(5, "C", ended + 1)).text, ""); // another device
        DeviceJournal state;
        ASSERT_EQ(fresh->deviceJournal(3, state).text, "");
        EXPECT_EQ(state.device, 3);
        EXPECT_EQ(state.missedTimes, c.missed);
        EXPECT_EQ(state.lastGoodRead, c.lastGood);
        EXPECT_EQ(state.lastLetters, c.lastLetters);
        EXPECT_EQ(state.lastSession.has_value(), !c.letters.empty());
        if (state.lastSession) {
            EXPECT_EQ(state.lastSession->letter, letter);
            EXPECT_EQ(state.lastSession->ended, ended);
            EXPECT_EQ(state.lastSession->dataFile, "/data/KV1.dat");
        }
        // The device's sessions that started from the second one's start on, newest first.
        std::vector<SessionRow> since(1); // left over
        ASSERT_EQ(fresh->sessionsSince(3, 2000 - 90, since).text, "");
        std::vector<UtcSeconds> ends, expected;
        for (const auto &r : since)
            ends.push_back(r.ended);
        for (UtcSeconds e = ended; e >= 2000; e -= 1000)
            expected.push_back(e);
        EXPECT_EQ(ends, expected);
    }
}

TEST_F(JournalTest, DeliveriesRoundTripAndOnlyPendingOnesComeBack) {
    const std::string attachment("bytes\0with a zero\xff", 19);
    DeliveryRow mail{0, DeliveryKind::mail, 3,  "a@b.example", "Data KV1", DeliveryState::pending,
                     1, "550 no",           10, 400,           "payload",  attachment};
    DeliveryRow sms{0, DeliveryKind::sms, 0,  "+4917", "Alarm", DeliveryState::pending,
                    2, "ERROR",           20, 300,     "",      ""};
    DeliveryRow sent{
        0, DeliveryKind::ftp, 1, "ftp.example", "KV1.dat", DeliveryState::sent, 1, "", 30, 0, "",
        ""};
    for (DeliveryRow *row : {&mail, &sms, &sent})
        ASSERT_EQ(journal->addDelivery(*row).text, "");

    std::vector<DeliveryRow> pending;
    ASSERT_EQ(journal->pendingDeliveries(pending).text, "");
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0].id, sms.id); // the earlier next try first
    EXPECT_EQ(pending[1].id, mail.id);
    const DeliveryRow &back = pending[1];
    EXPECT_EQ(std::tie(back.snapshot, back.recipient, back.lastError, back.created),
              std::tie(attachment, mail.recipient, mail.lastError, mail.created));

    ASSERT_EQ(journal->pendingDeliveries(pending, DeliveryKind::mail).text, "");
    ASSERT_EQ(pending.size(), 1u);
    mail.state = DeliveryState::givenUp;
    mail.tries = 9;
    ASSERT_EQ(journal->updateDelivery(mail).text, "");
    ASSERT_EQ(journal->pendingDeliveries(pending, DeliveryKind::mail).text, "");
    EXPECT_TRUE(pending.empty());

    DeliveryRow unknown = mail;
    unknown.id = 999;
    EXPECT_NE(journal->updateDelivery(unknown).text.find("no delivery 999"), std::string::npos);
}

TEST_F(JournalTest, AlarmsComeBackNewestFirstAndGoWithThePrune) {
    std::vector<AlarmRow> rows{
        {0, 100, 3, 2, "channel alarm", "Level; Channel 2", "sent"},
        {0, 200, 3, 0, "silent station", "Silent", "not sent: ERROR"},
        {0, 200, 4, 1, "channel alarm", "Jump; Channel 1", "kept for a retry"},
        {0, 300, 3, 0, "answering again", "Answering", "sent"}};
    for (AlarmRow &row : rows)
        ASSERT_EQ(journal->recordAlarm(row).text, "");
    EXPECT_EQ(rows[3].id, 4);
    const auto since = [&](UtcSeconds from, int device, int limit) {
        std::vector<AlarmRow> out(1); // left over
        EXPECT_EQ(journal->alarmsSince(from, device, limit, out).text, "");
        return out;
    };
    // The later of one time first, the limit keeps the newest.
    EXPECT_EQ(since(200, 0, 10), (std::vector<AlarmRow>{rows[3], rows[2], rows[1]}));
    EXPECT_EQ(since(0, 0, 2), (std::vector<AlarmRow>{rows[3], rows[2]}));
    EXPECT_EQ(since(0, 3, 10), (std::vector<AlarmRow>{rows[3], rows[1], rows[0]}));
    ASSERT_EQ(journal->prune(200).text, "");
    EXPECT_EQ(since(0, 0, 10).size(), 3u);
}

TEST(JournalFile, ThatIsNoJournalGivesAProblemNotAThrow) {
    struct Case {
        const char *legend;
        std::function<void(const std::filesystem::path &)> make;
        Journal::Access access;
        std::string problem; // after "journal <file>: "
    };
    const auto notSqlite = [](const std::filesystem::path &f) {
        std::ofstream(f) << std::string(4096, 'x');
    };
    const auto newer = [](const std::filesystem::path &f) {
        std::unique_ptr<Journal> j;
        (void)Journal::open(f, Journal::Access::write, j);
        RawConnection(f).run("PRAGMA user_version = 99");
    };
    const auto none = [](const std::filesystem::path &) {};
    const std::vector<Case> cases{
        {"not SQLite, for writing", notSqlite, Journal::Access::write, "file is not a database"},
        {"not SQLite, for reading", notSqlite, Journal::Access::readOnly, "file is not a database"},
        {"missing, for reading", none, Journal::Access::readOnly, "no journal yet"},
        {"newer, for writing", newer, Journal::Access::write,
         "made by a newer program (schema 99)"},
        {"newer, for reading", newer, Journal::Access::readOnly,
         "schema 99, this program reads " + std::to_string(journalSchemaVersion())},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        TempFolder folder;
        const auto file = folder / "journal.sqlite";
        c.make(file);
        std::unique_ptr<Journal> journal;
        EXPECT_EQ(Journal::open(file, c.access, journal).text,
                  "journal " + file.string() + ": " + c.problem);
        EXPECT_FALSE(journal);
    }
    std::unique_ptr<Journal> journal;
    EXPECT_NE(Journal::open("/nonexistent/folder/j.sqlite", Journal::Access::write, journal).text,
              "");
}

// Waits run on a clock that jumps to the end of each pause: the bounded waits cost no real time.
TEST_F(JournalTest, ALockHeldElsewhereIsAProblemAfterABoundedWaitAndReadersGoOn) {
    VirtualClock clock;
    clock.jumpWhenWaited();
    ASSERT_EQ(Journal::open(file, Journal::Access::write, journal, clock).text, "");
    ASSERT_EQ(journal->recordSession(session(1, "X", 100)).text, "");
    const std::string locked = "journal " + file.string() + ": database is locked";
    const auto waited = [&](const std::function<JournalProblem()> &call, std::string problem) {
        const double start = clock.monotonicSeconds();
        EXPECT_EQ(call().text, problem);
        return clock.monotonicSeconds() - start;
    };
    std::unique_ptr<Journal> reader;
    DeviceJournal state;
    {
        RawConnection other(file);
        ASSERT_EQ(other.run("BEGIN IMMEDIATE; INSERT INTO sessions VALUES(99, 1, 1, 0, 0, 'C', 0, "
                            "'', 1)"),
                  "");
        EXPECT_NEAR(waited([&] { return journal->recordSession(session(1, "C", 200)); }, locked),
                    2.0, 0.02);

        // status reads the last committed state without waiting for the writer.
        ASSERT_EQ(Journal::open(file, Journal::Access::readOnly, reader, clock).text, "");
        EXPECT_EQ(waited([&] { return reader->deviceJournal(1, state); }, ""), 0.0);
        EXPECT_EQ(state.lastSession->letter, "X");
        EXPECT_NE(reader->recordSession(session(1, "X", 300)).text, "");

        // A connection claiming the whole file (which it cannot have while the journal's
        // connections are open) keeps new readers out meanwhile, and they wait less than a writer.
        EXPECT_EQ(other.run("ROLLBACK; PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE"),
                  "database is locked");
        reader.reset();
        EXPECT_NEAR(
            waited([&] { return Journal::open(file, Journal::Access::readOnly, reader, clock); },
                   locked),
            0.2, 0.02);
    }
    ASSERT_EQ(journal->recordSession(session(1, "C", 200)).text, "");
    // With no writer left (its log folded back and removed), a reader still opens.
    journal.reset();
    ASSERT_EQ(Journal::open(file, Journal::Access::readOnly, reader).text, "");
    ASSERT_EQ(reader->deviceJournal(1, state).text, "");
    EXPECT_EQ(state.lastSession->letter, "C");
}

TEST_F(JournalTest, AFullDiskLosesTheBatchButNotTheJournal) {
    const auto readings = memory(2000);
    StoredReadings stored;
    {
        FullDisk full;
        EXPECT_NE(journal->recordReadings(batchOf(readings), stored).text, "");
        EXPECT_EQ(stored.added, 0);
    }
    ASSERT_EQ(journal->recordReadings(batchOf(readings), stored).text, "");
    EXPECT_EQ(stored.added, 4 * 2000);
    EXPECT_EQ(RawConnection(file).run("PRAGMA integrity_check"), "ok");
}

} // namespace
} // namespace vantrell::testing

// Sessions, the per-device state kept beside them, deliveries, and journals that are not fit.
#include "JournalFixture.h"

#include "FullDisk.h"

#include <sqlite3.h>

#include <fstream>

namespace vantrell::testing {
namespace {

SessionRow session(int device, std::string letter, UtcSeconds ended) {
    SessionRow row;
    row.device = device;
    row.scheduleTime = 2;
    row.started = ended - 90;
    row.ended = ended;
    row.letter = std::move(letter);
    row.recordsRead = 120;
    row.dataFile = "/data/KV1.dat";
    row.attempts = 1;
    return row;
}

TEST_F(JournalTest, CountsMissedTimesAndKeepsTheLastGoodRead) {
    struct Case {
        const char *legend;
        std::vector<std::string> letters; // the sessions of device 3, in order
        int missed;
        std::optional<UtcSeconds> lastGood;
        std::string lastLetters;
    };
    const std::vector<Case> cases{
        {"never read", {}, 0, std::nullopt, ""},
        {"good read", {"X"}, 0, 1000, "X"},
        {"two failures after a good one", {"X", "C", "M"}, 2, 1000, "XCM"},
        {"a good read clears the count", {"C", "C", "X"}, 0, 3000, "CCX"},
        {"abandoned at shutdown leaves the count", {"C", "", "C"}, 2, std::nullopt, "CC"},
        {"only the newest ten letters",
         {"X", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J"},
         10,
         1000,
         "ABCDEFGHIJ"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        std::unique_ptr<Journal> fresh;
        TempFolder own;
        ASSERT_EQ(Journal::open(own / "j.sqlite", Journal::Access::write, fresh).text, "");
        ASSERT_EQ(fresh->recordSession(session(4, "X", 50)).text, ""); // another device
        UtcSeconds ended = 0;
        for (const auto &letter : c.letters)
            ASSERT_EQ(fresh->recordSession(session(3, letter, ended += 1000)).text, "");
        ASSERT_EQ(fresh->recordSession(session(5, "C", ended + 1)).text, ""); // another device
        DeviceJournal state;
        ASSERT_EQ(fresh->deviceJournal(3, state).text, "");
        EXPECT_EQ(state.device, 3);
        EXPECT_EQ(state.missedTimes, c.missed);
        EXPECT_EQ(state.lastGoodRead, c.lastGood);
        EXPECT_EQ(state.lastLetters, c.lastLetters);
        EXPECT_EQ(state.lastSession.has_value(), !c.letters.empty());
        if (state.lastSession) {
            EXPECT_EQ(state.lastSession->letter, c.letters.back());
            EXPECT_EQ(state.lastSession->ended, ended);
            EXPECT_EQ(state.lastSession->dataFile, "/data/KV1.dat");
        }
    }
}

TEST_F(JournalTest, SilenceAlarmedOutlivesAGoodRead) {
    ASSERT_EQ(journal->recordSession(session(7, "C", 100)).text, "");
    ASSERT_EQ(journal->markSilenceAlarmed(7, true).text, "");
    ASSERT_EQ(journal->recordSession(session(7, "X", 200)).text, "");
    DeviceJournal state;
    ASSERT_EQ(journal->deviceJournal(7, state).text, "");
    // The alarm's owner decides when "answering again" went out.
    EXPECT_TRUE(state.silenceAlarmed);
    ASSERT_EQ(journal->markSilenceAlarmed(7, false).text, "");
    ASSERT_EQ(journal->deviceJournal(7, state).text, "");
    EXPECT_FALSE(state.silenceAlarmed);
    EXPECT_EQ(state.missedTimes, 0);
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
    EXPECT_NE(mail.id, sms.id);

    std::vector<DeliveryRow> pending;
    ASSERT_EQ(journal->pendingDeliveries(pending).text, "");
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0].id, sms.id); // the earlier next try first
    EXPECT_EQ(pending[1].id, mail.id);
    EXPECT_EQ(pending[1].snapshot, attachment);
    EXPECT_EQ(pending[1].recipient, "a@b.example");
    EXPECT_EQ(pending[1].lastError, "550 no");
    EXPECT_EQ(pending[1].created, 10);

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

TEST(JournalNames, AreTheWordsStatusShows) {
    EXPECT_STREQ(nameOf(DeliveryKind::mail), "mail");
    EXPECT_STREQ(nameOf(DeliveryKind::ftp), "ftp");
    EXPECT_STREQ(nameOf(DeliveryKind::sms), "sms");
    EXPECT_STREQ(nameOf(DeliveryState::sent), "sent");
    EXPECT_STREQ(nameOf(DeliveryState::pending), "pending");
    EXPECT_STREQ(nameOf(DeliveryState::givenUp), "given up");
    EXPECT_STREQ(nameOf(DeliveryState::failed), "failed");
}

TEST_F(JournalTest, StoresReadingsOnceWithTheirChannels) {
    const auto readings = memory(6);
    StoredReadings stored;
    ASSERT_EQ(journal->recordReadings(batchOf(readings), stored).text, "");
    EXPECT_EQ(stored.added, 24);
    EXPECT_EQ(stored.alreadyKnown, 0);
    ASSERT_EQ(journal->recordReadings(batchOf(readings), stored).text, "");
    EXPECT_EQ(stored.added, 0);
    EXPECT_EQ(stored.alreadyKnown, 24);

    const auto rows = exported();
    ASSERT_EQ(rows.size(), 24u);
    EXPECT_EQ(rows[0].serial, "KV12345678");
    EXPECT_EQ(rows[0].channel, 1);
    EXPECT_EQ(rows[0].name, "Kanal 1");
    EXPECT_EQ(rows[0].unit, "°C");
    EXPECT_EQ(rows[0].valueText, "10.0");
    EXPECT_EQ(rows[3].value, 40.0);
}

} // namespace
} // namespace vantrell::testing

// The phone list's tooltips from the journal: what the operator reads on each row, that a new
// session shows at the next refresh, and that the described cells keep their texts.
#include "ui/PhoneListJournal.h"

#include "journal/JournalFixture.h"
#include "ui/QtText.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vantrell {
namespace {

// 2026-12-05 08:00 and 16:00 in the station's zone (+01:00).
constexpr UtcSeconds morning = 1796428800 + 7 * 3600;
constexpr UtcSeconds afternoon = 1796428800 + 15 * 3600;

class PhoneListJournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Journal::open(file, Journal::Access::write, journal).text, "");
        for (int record : {1, 2, 3}) {
            devices[record][field::connection] = "netw010" + std::to_string(record);
            devices[record][field::description] = "device " + std::to_string(record);
        }
        grid.showAll(devices);
    }

    void session(int device, UtcSeconds started, const std::string &letter) {
        const SessionRow row{device, 1, started, started + 40, letter, 0, {}, 0};
        EXPECT_EQ(journal->recordSession(row).text, "");
    }

    std::string tip(int record, int column = TelGrid::phoneColumn) {
        return stdtext(grid.item(record - 1, column)->toolTip());
    }

    testing::StationZone zone{"Europe/Berlin"};
    testing::TempFolder folder;
    std::filesystem::path file = folder / "journal.sqlite";
    std::unique_ptr<Journal> journal;
    DeviceTable devices;
    TelGrid grid;
    PhoneListJournal tips{grid, devices, file};
};

TEST_F(PhoneListJournalTest, EachRowTellsItsLastSessionAndLastGoodRead) {
    tips.refresh();
    EXPECT_EQ(tip(1), "No session yet");
    session(1, morning, "X");
    session(2, morning, "X");
    session(2, afternoon, "N");
    session(3, afternoon, "C");
    tips.refresh();
    struct Row {
        int record;
        std::string tip;
    };
    const Row rows[] = {
        {1, "Last session: 2026-12-05 08:00 X done succesfully\nLast good read: 2026-12-05 08:00"},
        {2, "Last session: 2026-12-05 16:00 N logger not answering\nLast good read: 2026-12-05 "
            "08:00"},
        {3, "Last session: 2026-12-05 16:00 C remote modem not ready\nLast good read: never"},
        {4, ""}, // a free row
    };
    for (const Row &row : rows)
        for (int column : {TelGrid::markColumn, TelGrid::phoneColumn, TelGrid::descriptionColumn})
            EXPECT_EQ(tip(row.record, column), row.tip) << row.record << "/" << column;
    EXPECT_EQ(stdtext(grid.cell(2, TelGrid::phoneColumn)), "netw0102");
    EXPECT_EQ(stdtext(grid.cell(2, TelGrid::descriptionColumn)), "device 2");
}

TEST_F(PhoneListJournalTest, UnreadableJournalIsSaidOnEveryConfiguredRow) {
    journal.reset();
    std::ofstream(file, std::ios::trunc) << "these are not the bytes of a database\n";
    tips.refresh();
    EXPECT_TRUE(tip(1).starts_with("Journal unavailable: ")) << tip(1);
    EXPECT_EQ(tip(3, TelGrid::markColumn), tip(1));
    EXPECT_EQ(tip(4), "");
}

} // namespace
} // namespace vantrell

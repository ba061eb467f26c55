// The Readings window over a journal: a chart per channel in no more points than it asks for,
// the ranges, each channel's newest reading beside its limits, the window without readings, and the
// ways the operator opens it from the phone list, which offers none of them when the station keeps
// no journal.
#include "ui/ReadingsWindow.h"

#include "cycle/CycleBench.h"
#include "journal/JournalFixture.h"
#include "ui/Main.h"
#include "ui/QtText.h"
#include "ui/SetupWindowBench.h"

#include <QAbstractAxis>
#include <QChartView>
#include <QGridLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <fstream>

namespace vantrell {
namespace {

using testing::StationZone;

std::vector<QChartView *> chartsOf(const QWidget &window) {
    std::vector<QChartView *> charts;
    for (int k = 1;; ++k) {
        auto *chart = window.findChild<QChartView *>(QString("chtChannel_%1").arg(k));
        if (chart == nullptr)
            return charts;
        charts.push_back(chart);
    }
}

QString noReadings(const QWidget &window) {
    auto *label = window.findChild<QLabel *>("lblNoReadings");
    return label->isHidden() ? QString() : label->text();
}

// The texts of row `row` of the newest readings' table (row 0: the headings), a text in a colour of
// its own in brackets; none past the table's end.
std::vector<std::string> latestRow(const QWidget &window, int row) {
    auto *grid = qobject_cast<QGridLayout *>(window.findChild<QWidget *>("grdLatest")->layout());
    const QColor plain = window.palette().color(QPalette::WindowText);
    std::vector<std::string> texts;
    for (int c = 0; row < grid->rowCount() && c < grid->columnCount(); ++c) {
        auto *cell = qobject_cast<QLabel *>(grid->itemAtPosition(row, c)->widget());
        const std::string text = stdtext(cell->text());
        texts.push_back(cell->palette().color(QPalette::WindowText) == plain ? text
                                                                             : "[" + text + "]");
    }
    return texts;
}

// A journal at `file` holding `batch`, closed again as a session leaves it.
void journalOf(const std::filesystem::path &file, const LoggerReadings &batch) {
    std::unique_ptr<Journal> journal;
    ASSERT_EQ(Journal::open(file, Journal::Access::write, journal).text, "");
    StoredReadings stored;
    ASSERT_EQ(journal->recordReadings(batch, stored).text, "");
}

// Forty days of readings every ten minutes up to the window's "now", of a logger with three
// channels in use (one without a unit).
class ReadingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto readings = testing::memory(40 * 144, {2026, 3, 1, 0, 0, 0});
        auto batch = testing::batchOf(readings, 1, "KV12345678");
        batch.channels[1].enabled = false;
        batch.channels[3].unit = "";
        journalOf(file, batch);
        dam[field::description] = "Dam";
        dam.serialNumber(1) = "KV12345678";
        dam.serialNumber(2) = "KV87654321 "; // a blank the phone list kept
    }

    StationZone utc{"UTC"};
    testing::TempFolder folder;
    std::filesystem::path file = folder / "journal.sqlite";
    sim::World world{{2026, 4, 10, 0, 0, 0}};
    DeviceRecord dam;
    ReadingsWindow window{file, folder.path(), world.clock()};
};

TEST_F(ReadingsWindowTest, EachRangeShowsAChartPerChannelWithinItsPoints) {
    window.showDevice(1, dam);
    EXPECT_EQ(window.findChild<QLabel *>("lblDevice")->text(), "Device 1: Dam");
    struct Case {
        const char *button;
        qsizetype points;
        qlonglong bucketSeconds;
    };
    const Case cases[] = {
        {"cmdDay", 144, 0},        // single readings
        {"cmdWeek", 7 * 24, 3600}, // 1008 readings are too many: hourly
        {"cmdMonth", 30 * 24, 3600}, {"cmdAll", 40 * 24, 3600},
        {"cmdDay", 144, 0}, // and back, with the old charts gone
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.button);
        QTest::mouseClick(window.findChild<QPushButton *>(c.button), Qt::LeftButton);
        EXPECT_TRUE(window.findChild<QPushButton *>(c.button)->isChecked());
        EXPECT_EQ(noReadings(window), "");
        const auto charts = chartsOf(window);
        ASSERT_EQ(charts.size(), 3u);
        const std::vector<QString> titles{"Kanal 1 [°C]", "Kanal 3 [°C]", "Kanal 4"};
        for (std::size_t k = 0; k < charts.size(); ++k) {
            QChart *chart = charts[k]->chart();
            EXPECT_EQ(chart->axes(Qt::Vertical).front()->titleText(), titles[k]);
            EXPECT_EQ(charts[k]->property("points").value<qsizetype>(), c.points);
            EXPECT_EQ(charts[k]->property("bucketSeconds").toLongLong(), c.bucketSeconds);
            // A band from the lowest to the highest reading beside the mean, for buckets only.
            ASSERT_EQ(chart->series().size(), c.bucketSeconds == 0 ? 1 : 2);
            auto *mean = qobject_cast<QLineSeries *>(chart->series().back());
            ASSERT_NE(mean, nullptr);
            EXPECT_EQ(mean->count(), c.points);
            EXPECT_LE(mean->count(), ReadingsWindow::chartPoints);
        }
    }
}

// Logger 2 (setup channels 5..8) read once, its channel 1 missing; a reading outside its limits is
// marked in words and colour.
TEST_F(ReadingsWindowTest, TheNewestReadingsStandBesideTheirLimits) {
    auto once = testing::memory(1, {2026, 4, 9, 12, 0, 0});
    once.back().values[1] = "-----";
    auto batch = testing::batchOf(once, 1, "KV87654321");
    batch.channels[2].enabled = batch.channels[3].enabled = false;
    journalOf(file, batch);
    const auto setupFile = folder / "DeviceSetup" / "dvcsetup1.xml";
    std::filesystem::create_directories(setupFile.parent_path());
    std::ofstream(setupFile) << test::positionalFile(test::records(
        "1:,,,,,,1,0,6000;3:,,,,,,1,0,5000;4:,,,,,,1,6000,9000;5:,,,,,,1,0,100;6:,,,,,,0,0,1"));
    window.showDevice(1, dam);
    const std::string late = "2026-04-09T23:50:00+00:00", noon = "2026-04-09T12:00:00+00:00";
    const struct {
        const char *legend;
        std::vector<std::string> row;
    } cases[] = {
        {"within", {"KV12345678, channel 1", "Kanal 1", "5769 °C", late, "0 … 6000", ""}},
        {"above",
         {"KV12345678, channel 3", "Kanal 3", "[5789 °C]", late, "0 … 5000", "[above limit]"}},
        {"below, no unit",
         {"KV12345678, channel 4", "Kanal 4", "[5799]", late, "6000 … 9000", "[below limit]"}},
        {"missing", {"KV87654321, channel 1", "Kanal 1", "no reading", noon, "0 … 100", ""}},
        {"alarm off", {"KV87654321, channel 2", "Kanal 2", "20 °C", noon, "no limits", ""}},
    };
    int row = 0;
    for (const auto &c : cases)
        EXPECT_EQ(latestRow(window, ++row), c.row) << c.legend;
    EXPECT_TRUE(latestRow(window, row + 1).empty());
    // The window reads the setup file again with the readings.
    std::filesystem::remove(setupFile);
    QTest::mouseClick(window.findChild<QPushButton *>("cmdDay"), Qt::LeftButton);
    EXPECT_EQ(latestRow(window, 2).at(4), "limits unavailable");
}

TEST_F(ReadingsWindowTest, WithoutReadingsTheWindowSaysSo) {
    struct Case {
        const char *legend;
        std::function<void()> prepare;
        int device;
        std::string said;
    };
    const Case cases[] = {
        {"a device never read", [] {}, 2, "no readings yet"},
        {"no journal yet", [this] { std::filesystem::remove(file); }, 1, "no readings yet"},
        {"not a journal",
         [this] { std::ofstream(file, std::ios::trunc) << "these are not a database's bytes\n"; },
         1, "Journal unavailable: journal " + file.string() + ": file is not a database"},
    };
    // Charts on show go when there are none to show.
    window.showDevice(1, {});
    ASSERT_EQ(chartsOf(window).size(), 3u);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.legend);
        c.prepare();
        window.showDevice(c.device, {});
        EXPECT_EQ(stdtext(noReadings(window)), c.said);
        EXPECT_TRUE(chartsOf(window).empty());
        EXPECT_EQ(window.findChild<QWidget *>("grdLatest"), nullptr);
    }
}

// The phone list's row menu and the properties dialog's button open the window on their device,
// and Esc closes it; without a journal neither is there.
TEST(ReadingsFromThePhoneList, TheRowMenuAndThePropertiesDialogOpenTheWindow) {
    for (const bool journalOn : {true, false}) {
        SCOPED_TRACE(journalOn ? "journal on" : "journal off");
        testing::CycleBench b;
        b.configure(2, "0231555", {"KV12345678"}, false)[field::description] = "Dam";
        b.station.selectedDevice = 2;
        ASSERT_FALSE(DeviceFile(b.station).saveDevice().failed());
        const auto file = b.folder.path() / "journal.sqlite";
        const auto readings = testing::memory(144, {2026, 2, 2, 9, 0, 0});
        journalOf(file, testing::batchOf(readings, 2));
        Main main{b.station, b.schedule};
        main.load();
        if (journalOn)
            main.showJournal(file);
        auto *grid = main.findChild<TelGrid *>("TelGrid");
        for (int row : {0, 1}) // a free row offers nothing
            emit grid->customContextMenuRequested(
                grid->visualItemRect(grid->item(row, 1)).center());
        auto *menu = main.findChild<QMenu *>("mnuRow");
        ASSERT_EQ(menu != nullptr, journalOn);
        if (journalOn) {
            menu->findChild<QAction *>("mnuReadings")->trigger();
            ASSERT_NE(main.readingsWindow(), nullptr);
            EXPECT_EQ(main.readingsWindow()->device(), 2);
            EXPECT_EQ(chartsOf(*main.readingsWindow()).size(), 4u);
            QTest::keyClick(main.readingsWindow(), Qt::Key_Escape);
            testing::deleteClosedWindows();
            EXPECT_EQ(main.readingsWindow(), nullptr);
        }

        emit main.propertiesRequested(2);
        ASSERT_NE(main.propertiesDialog(), nullptr);
        auto *button = main.propertiesDialog()->findChild<QPushButton *>("cmdReadings");
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->isHidden(), !journalOn);
        if (journalOn) {
            QTest::mouseClick(button, Qt::LeftButton);
            ASSERT_NE(main.readingsWindow(), nullptr);
            EXPECT_EQ(main.readingsWindow()->device(), 2);
            EXPECT_TRUE(main.readingsWindow()->isVisible());
        }
    }
}

} // namespace
} // namespace vantrell

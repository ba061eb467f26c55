// The device properties dialog driven as the operator drives it: by the controls' names, with
// the message boxes recorded. What counts is what reaches the table, prop.xml and the phone list.
#include "ui/PropertiesDialog.h"

#include "config/DeviceFile.h"
#include "config/ScheduleFiles.h"
#include "config/Templates.h"
#include "support/StationBench.h"
#include "support/TempFolder.h"
#include "ui/FolderPicker.h"
#include "ui/PhoneListView.h"
#include "ui/SetupWindowBench.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

namespace vantrell::testing {
namespace {

// The main window's side of the phone list: the lowest free row, and how often it was redrawn.
struct RecordedPhoneList final : PhoneListView {
    explicit RecordedPhoneList(Station &s) : station(s) {}
    std::optional<int> findFreeRow() override {
        for (int k = 1; k <= maxDevices; ++k)
            if (station.devices.at(k).isFree())
                return k;
        return std::nullopt;
    }
    void refreshGrid() override { ++refreshes; }

    Station &station;
    int refreshes = 0;
};

std::string fileBytes(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct PropertiesBench {
    PropertiesBench() {
        EXPECT_TRUE(installTemplates(folder.path()).failures.empty());
        EXPECT_FALSE(DeviceFile(station).loadDeviceTable().failed());
        station.scheduleTimes = {"", "8", "-1", "14", "-1"};
    }

    // A device as an earlier session of the dialog left it.
    void keepDevice(int slot, const std::string &connection, const std::string &description) {
        DeviceRecord &record = station.devices.at(slot);
        record[field::active] = "1";
        record[field::connection] = connection;
        record[field::description] = description;
        record.serialNumber(1) = "1234KV0126";
        record[field::scheduleSlot1] = "1";
        station.selectedDevice = slot;
        EXPECT_FALSE(DeviceFile(station).saveDevice().failed());
    }

    PropertiesDialog &open(int record) {
        station.selectedDevice = record;
        dialog = std::make_unique<PropertiesDialog>(station, list, nullptr);
        dialog->show();
        return *dialog;
    }

    // The table as the next start of the program reads it from prop.xml.
    DeviceRecord stored(int slot) const {
        StationBench next({2026, 2, 3, 9, 5, 0}, folder.path());
        EXPECT_FALSE(DeviceFile(next.station).loadDeviceTable().failed());
        return next.station.devices.at(slot);
    }
    std::string propBytes() const { return fileBytes(folder.path() / "prop.xml"); }

    template <typename Control> Control *get(const char *name) const {
        auto *control = dialog->findChild<Control *>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    // On the button's mark: a check box or option is wider than its mark and caption.
    void click(const char *name) const {
        QAbstractButton *button = get<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    void type(const char *name, const QString &text) const {
        QLineEdit *box = get<QLineEdit>(name);
        box->clear();
        QTest::keyClicks(box, text);
    }
    void choose(const char *name, int position) const {
        get<QComboBox>(name)->setCurrentIndex(position);
    }
    void fillValidDevice() const {
        type("txtSN_1", "1234KV0126");
        click("chkActive");
        click("chkTime_0");
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto &shown : bench.dialogs.shown())
            texts.push_back(shown.title + ": " + shown.text);
        return texts;
    }

    TempFolder folder;
    StationBench bench{{2026, 2, 3, 9, 5, 0}, folder.path()};
    Station &station = bench.station;
    RecordedPhoneList list{station};
    std::unique_ptr<PropertiesDialog> dialog;
};

using Edit = std::function<void(PropertiesBench &)>;

struct Refusal {
    const char *legend;
    Edit edit;
    std::vector<std::string> messages; // empty: refused without a word
};

class InsertRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(InsertRefusals, ShowTheirMessageAndStoreNothing) {
    PropertiesBench b;
    b.open(3);
    b.fillValidDevice();
    GetParam().edit(b);
    const std::string before = b.propBytes();

    b.click("cmdAdd");

    EXPECT_EQ(b.messages(), GetParam().messages);
    EXPECT_TRUE(b.propBytes() == before) << "prop.xml changed";
    EXPECT_TRUE(b.station.devices.at(1).isFree());
    EXPECT_TRUE(b.station.devices.at(3).isFree());
    EXPECT_EQ(b.list.refreshes, 0);
}

const auto remote = [](PropertiesBench &b) { b.click("optCommType_1"); };
const auto forwardBy = [](PropertiesBench &b, const char *kind) {
    b.click("chkForward");
    b.click(kind);
};
const auto ftp = [](PropertiesBench &b, const QString &host, const QString &directory) {
    forwardBy(b, "optFdType_1");
    b.type("txtAddress", host);
    b.type("txtDirectory", directory);
};

INSTANTIATE_TEST_SUITE_P(
    Properties, InsertRefusals,
    ::testing::Values(Refusal{"remote device with a blank phone: silently",
                              [](PropertiesBench &b) {
                                  remote(b);
                                  b.type("txtPhone", "   ");
                              },
                              {}},
                      Refusal{"phone with an inner blank",
                              [](PropertiesBench &b) {
                                  remote(b);
                                  b.type("txtPhone", "0471 123");
                              },
                              {"Data error: The phone number inserted is not correct"}},
                      Refusal{"no serial number at all",
                              [](PropertiesBench &b) { b.get<QLineEdit>("txtSN_1")->clear(); },
                              {"Data error: No serial number is inserted"}},
                      Refusal{"model code in lower case",
                              [](PropertiesBench &b) { b.type("txtSN_1", "1234kv0126"); },
                              {"Data error: The serial number inserted is not correct"}},
                      Refusal{"active without a schedule time",
                              [](PropertiesBench &b) { b.click("chkTime_0"); },
                              {"Data error: Select at least one scheduled time"}},
                      Refusal{"FTP host in capitals",
                              [](PropertiesBench &b) { ftp(b, "FTP.example.com", "/in"); },
                              {"Data error: FTP address or root missing"}},
                      Refusal{"FTP without a host",
                              [](PropertiesBench &b) { ftp(b, "", "/in"); },
                              {"Data error: FTP address or root missing"}},
                      Refusal{"FTP with a blank root",
                              [](PropertiesBench &b) { ftp(b, "ftp.example.com", " "); },
                              {"Data error: FTP address or root missing"}},
                      Refusal{"FTP root without its leading slash",
                              [](PropertiesBench &b) { ftp(b, "ftp.example.com", "data"); },
                              {"Data error: Root directory address incorrect"}},
                      Refusal{"mail address without @",
                              [](PropertiesBench &b) {
                                  forwardBy(b, "optFdType_0");
                                  b.type("txtMail", "ops.example.com");
                              },
                              {"Data error: Mail address incorrect"}},
                      Refusal{"mail address without a dot",
                              [](PropertiesBench &b) {
                                  forwardBy(b, "optFdType_0");
                                  b.type("txtMail", "ops@example");
                              },
                              {"Data error: Mail address incorrect"}},
                      Refusal{"a tab pasted into the phone number",
                              [](PropertiesBench &b) {
                                  remote(b);
                                  b.get<QLineEdit>("txtPhone")->insert("0471\t123");
                              },
                              {"Data error: Phone no.: the text holds a control character (a line "
                               "break, a tab or similar)"}},
                      Refusal{"a serial number longer than its box",
                              [](PropertiesBench &b) { b.type("txtSN_1", "1234KV01260"); },
                              {"Data error: Serial No.1: the text is longer than 10 characters"}},
                      Refusal{
                          "a description longer than its box",
                          [](PropertiesBench &b) { b.type("txtDescription", QString(51, 'd')); },
                          {"Data error: Description: the text is longer than 50 characters"}}),
    [](const auto &row) { return std::to_string(row.index); });

struct Stored {
    const char *legend;
    Edit edit;
    std::string connection;
    std::string rootDirectory;
};

class InsertStores : public ::testing::TestWithParam<Stored> {};

TEST_P(InsertStores, TheCodedRecordAndShowsItAgain) {
    PropertiesBench b;
    b.open(1);
    b.fillValidDevice();
    GetParam().edit(b);

    b.click("cmdAdd");

    ASSERT_EQ(b.messages(), std::vector<std::string>{});
    const DeviceRecord stored = b.stored(1);
    EXPECT_EQ(stored.connection(), GetParam().connection);
    EXPECT_EQ(stored[field::ftpRootDirectory], GetParam().rootDirectory);
    EXPECT_EQ(b.station.dailyMarks.at(1, 1), "X");
    EXPECT_EQ(b.list.refreshes, 1);

    // Paging away and back shows the record as stored.
    b.click("cmdNext");
    b.click("cmdPrevious");
    EXPECT_EQ(b.get<QLineEdit>("txtPhone")->text().toStdString(), GetParam().connection);
    EXPECT_EQ(b.get<QLineEdit>("txtDirectory")->text().toStdString(), GetParam().rootDirectory);
    const bool network = GetParam().connection.starts_with("netw");
    EXPECT_EQ(b.get<QCheckBox>("chkNetwork")->isChecked(), network);
    if (network) {
        EXPECT_EQ(b.get<QComboBox>("cmbNetwork")->currentText(), "02");
        EXPECT_EQ(b.get<QComboBox>("cmbSection")->currentText(), "11");
    }
}

INSTANTIATE_TEST_SUITE_P(Properties, InsertStores,
                         ::testing::Values(Stored{"local line without switch network",
                                                  [](PropertiesBench &) {}, "locl0000", ""},
                                           Stored{"network 02, section 11",
                                                  [](PropertiesBench &b) {
                                                      b.click("chkNetwork");
                                                      b.choose("cmbNetwork", 1);
                                                      b.choose("cmbSection", 10);
                                                  },
                                                  "netw0211", ""},
                                           Stored{"telephone number as typed",
                                                  [](PropertiesBench &b) {
                                                      remote(b);
                                                      b.type("txtPhone", "0471123456");
                                                  },
                                                  "0471123456", ""},
                                           Stored{"FTP backslashes become slashes",
                                                  [](PropertiesBench &b) {
                                                      ftp(b, "ftp.example.com", "\\data\\in");
                                                  },
                                                  "locl0000", "/data/in"}),
                         [](const auto &row) { return std::to_string(row.index); });

struct Placement {
    const char *legend;
    std::vector<int> devices; // slots that hold a device before the insert
    int edited;
    int gridSelection; // the row the phone list selects while the dialog is open
    int storedAt;
};

class InsertPlacement : public ::testing::TestWithParam<Placement> {};

TEST_P(InsertPlacement, NewDevicesFillTheLowestFreeRowExistingOnesStay) {
    PropertiesBench b;
    for (int slot : GetParam().devices)
        b.keepDevice(slot, "0471" + std::to_string(slot), "station " + std::to_string(slot));
    b.open(GetParam().edited);
    b.station.selectedDevice = GetParam().gridSelection;
    b.type("txtDescription", "edited");
    for (const char *box : {"chkActive", "chkTime_0"})
        if (!b.get<QCheckBox>(box)->isChecked())
            b.click(box);
    b.type("txtSN_1", "1234KV0126");

    b.click("cmdAdd");

    ASSERT_EQ(b.messages(), std::vector<std::string>{});
    const int at = GetParam().storedAt;
    EXPECT_EQ(b.stored(at)[field::description], "edited");
    EXPECT_EQ(b.get<QLabel>("lblSelRow")->text().toInt(), at);
    EXPECT_EQ(b.station.selectedDevice, at);
    for (int slot : GetParam().devices) {
        if (slot != at) {
            EXPECT_EQ(b.stored(slot)[field::description], "station " + std::to_string(slot));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Properties, InsertPlacement,
    ::testing::Values(
        Placement{"a new device moves down to the first gap", {1, 2, 3, 4}, 7, 7, 5},
        Placement{"an existing device stays in its row", {1, 2, 3, 4, 7}, 7, 7, 7},
        Placement{"a new device in the first free row stays", {1, 2}, 3, 3, 3},
        Placement{"the record on show is stored, not the row selected since", {1, 2, 7}, 7, 2, 7}),
    [](const auto &row) { return std::to_string(row.index); });

TEST(Properties, DeleteBlanksTheRecordOnlyWhenTheOperatorSaysYes) {
    for (const DialogAnswer answer : {DialogAnswer::no, DialogAnswer::yes}) {
        PropertiesBench b;
        b.keepDevice(3, "0471333", "station 3");
        b.station.devices.at(3)[field::dataDirectory] = "/srv/data";
        b.station.devices.at(3)[field::alarmAddress] = "ops@example.com";
        EXPECT_FALSE(DeviceFile(b.station).saveDevice().failed());
        b.open(3);
        b.bench.dialogs.setNextAnswer(answer);

        b.click("cmdDel");

        ASSERT_EQ(b.messages(), std::vector<std::string>{"Phone list update: Are you sure you "
                                                         "want to delete this record?"});
        const DeviceRecord stored = b.stored(3);
        const bool deleted = answer == DialogAnswer::yes;
        EXPECT_EQ(stored.connection(), deleted ? "" : "0471333");
        EXPECT_EQ(stored.isFree(), deleted);
        EXPECT_EQ(stored[field::dataDirectory], deleted ? "" : "/srv/data");
        EXPECT_EQ(stored[field::alarmAddress], "ops@example.com") << "alarm settings stay";
        EXPECT_EQ(b.list.refreshes, deleted ? 1 : 0);
    }
}

TEST(Properties, PagingStopsAtBothEndsAndDropsUnsavedEdits) {
    struct Step {
        const char *legend;
        int from;
        const char *button;
        int shown;
    };
    for (const Step &step :
         {Step{"< at the first record", 1, "cmdPrevious", 1},
          Step{"> at the last record", 50, "cmdNext", 50}, Step{"> in the middle", 7, "cmdNext", 8},
          Step{"< in the middle", 7, "cmdPrevious", 6}}) {
        PropertiesBench b;
        b.keepDevice(step.shown, "0471", "shown");
        b.open(step.from);
        b.type("txtDescription", "unsaved");

        b.click(step.button);

        EXPECT_EQ(b.get<QLabel>("lblSelRow")->text().toInt(), step.shown) << step.legend;
        const bool moved = step.from != step.shown;
        EXPECT_EQ(b.get<QLineEdit>("txtDescription")->text(), moved ? "shown" : "unsaved")
            << step.legend;
        EXPECT_EQ(b.station.devices.at(step.from)[field::description], moved ? "" : "shown")
            << step.legend;
    }
}

TEST(Properties, ExistingFileLocksMemoryResetNewFileFreesIt) {
    PropertiesBench b;
    b.open(1);
    auto *memory = b.get<QCheckBox>("chkMemory");
    auto *frame = b.get<QGroupBox>("FrameMemory");

    b.click("optSaving_1");
    EXPECT_TRUE(memory->isChecked());
    EXPECT_FALSE(frame->isEnabled());

    b.click("optSaving_0");
    EXPECT_FALSE(memory->isChecked());
    EXPECT_TRUE(frame->isEnabled());
}

TEST(Properties, ForwardingBoxesShowTheRecordOnShowNotThePreviousOne) {
    PropertiesBench b;
    DeviceRecord &first = b.station.devices.at(1);
    first[field::forwardEnabled] = "1";
    first[field::forwardKind] = "1";
    first[field::forwardAddress] = "ftp.first.example";
    first[field::forwardUser] = "first";
    first[field::forwardPassword] = "secret";
    b.open(1);
    EXPECT_TRUE(b.get<QGroupBox>("FrameFTP")->isVisible());
    EXPECT_FALSE(b.get<QGroupBox>("FrameForwardTop")->isVisible());

    b.click("cmdNext");

    EXPECT_TRUE(b.get<QGroupBox>("FrameForwardTop")->isVisible());
    for (const char *box : {"txtAddress", "txtUser", "txtPass", "txtMail"})
        EXPECT_EQ(b.get<QLineEdit>(box)->text(), "") << box;
}

TEST(Properties, ASaveThatFailsKeepsTableListAndFileAsTheyWere) {
    for (const bool diskFull : {false, true}) {
        SCOPED_TRACE(diskFull ? "a disk that takes no more bytes" : "prop.xml gone");
        PropertiesBench b;
        b.open(1);
        b.fillValidDevice();
        const std::string before = b.propBytes();
        {
            std::optional<FullDisk> disk;
            if (diskFull)
                disk.emplace();
            else
                std::filesystem::remove(b.folder.path() / "prop.xml");
            b.click("cmdAdd");
        }

        ASSERT_EQ(b.messages().size(), 1u);
        EXPECT_TRUE(
            b.messages()[0].starts_with("Phone list update: The record could not be saved"));
        EXPECT_TRUE(b.station.devices.at(1).isFree());
        EXPECT_EQ(b.list.refreshes, 0);
        EXPECT_TRUE(diskFull ? b.propBytes() == before
                             : !std::filesystem::exists(b.folder.path() / "prop.xml"));
        EXPECT_TRUE(b.dialog->isVisible());
    }
}

TEST(Properties, BrowseOpensTheFolderPickerForTheRecordOnShow) {
    PropertiesBench b;
    b.open(4);
    b.station.selectedDevice = 9;

    b.click("cmdPath");

    ASSERT_NE(b.dialog->findChild<FolderPicker *>("frmPath"), nullptr);
    EXPECT_EQ(b.station.selectedDevice, 4);
}

} // namespace
} // namespace vantrell::testing

// What the tests of the device properties dialog share: a station over a fresh configuration
// folder, the main window's side of the phone list, and the dialog driven by its controls'
// names with the message boxes recorded.
#pragma once

#include "SetupWindowBench.h"
#include "ui/PhoneListView.h"
#include "ui/PropertiesDialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace vantrell::testing {

// The lowest free row, and how often the list was redrawn.
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

struct PropertiesBench : SetupWindowBench {
    PropertiesBench() {
        EXPECT_FALSE(DeviceFile(station).loadDeviceTable().failed());
        station.scheduleTimes = {"8", "-1", "14", "-1"};
    }

    // A device as an earlier session of the dialog left it.
    void keepDevice(int slot, const std::string &connection, const std::string &description) {
        DeviceRecord &record = station.devices.at(slot);
        record[field::description] = description;
        test::setFields(record, "active=1 serial1=1234KV0126 schedule1=1 connection=" + connection);
        station.selectedDevice = slot;
        EXPECT_FALSE(DeviceFile(station).saveDevice().failed());
    }

    PropertiesDialog &open(int record) {
        station.selectedDevice = record;
        dialog = std::make_unique<PropertiesDialog>(station, list, nullptr);
        dialog->show();
        return *dialog;
    }

    DeviceRecord stored(int slot) const { return storedDevice(folder.path(), slot); }
    std::string propBytes() const { return bytesOf(file("prop.xml")); }

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
    // A box's text or a list's entry, set as the program would.
    void set(const char *name, const QString &text) const {
        if (auto *combo = dialog->findChild<QComboBox *>(name))
            combo->setCurrentText(text);
        else
            get<QLineEdit>(name)->setText(text);
    }
    void fillValidDevice() const {
        type("txtSN_1", "1234KV0126");
        click("chkActive");
        click("chkTime_0");
    }
    std::string messages() const { return said(bench.dialogs); }

    RecordedPhoneList list{station};
    std::unique_ptr<PropertiesDialog> dialog;
};

} // namespace vantrell::testing

// The phone list's memory of each device: a tooltip on every cell of a configured row with the
// device's last session and its last good read, from the journal. Read-only and never waiting
// for the station's own writes, so it can be read on a timer while a session runs; the described
// columns and their texts stay as they are.
#pragma once

#include "config/Tables.h"
#include "ui/TelGrid.h"

#include <QObject>
#include <QTimer>

#include <filesystem>

namespace vantrell {

class PhoneListJournal final : public QObject {
    Q_OBJECT
public:
    // Reads the journal every half minute: a session writes it at most once per device, and the
    // operator hovering over a row needs no fresher news.
    static constexpr int refreshMilliseconds = 30000;

    PhoneListJournal(TelGrid &grid, const DeviceTable &devices, std::filesystem::path journalFile,
                     QObject *parent = nullptr);

public slots:
    void refresh();

private:
    void setRowTip(int record, const QString &tip);

    TelGrid &grid_;
    const DeviceTable &devices_;
    std::filesystem::path journalFile_;
    QTimer timer_;
};

} // namespace vantrell

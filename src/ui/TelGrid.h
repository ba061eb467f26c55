// The phone list: one row per device record (row n shows record n), with the active mark, the
// connection text (blank for an inactive local device) and the description. The keyboard works
// it as the mouse does: the arrows move the current row, Enter and Space open it as a double
// click does, and Tab leaves the list.
#pragma once

#include "config/Tables.h"

#include <QTableWidget>

namespace vantrell {

class TelGrid final : public QTableWidget {
    Q_OBJECT
public:
    explicit TelGrid(QWidget *parent = nullptr);

    // Record n (1..50) into row n.
    void showRecord(const DeviceTable &devices, int record);
    void showAll(const DeviceTable &devices);
    QString cell(int record, int column) const;

signals:
    // Enter or Space on row `row` (0-based), as a double click on it.
    void rowOpened(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;

public:
    static constexpr int markColumn = 0;
    static constexpr int phoneColumn = 1;
    static constexpr int descriptionColumn = 2;
};

} // namespace vantrell

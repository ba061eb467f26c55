#include "ui/TelGrid.h"

#include "config/DeviceFile.h"
#include "ui/QtText.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace vantrell {

namespace {

constexpr const char *phoneHeader = "Phone no.";
constexpr const char *descriptionHeader = "Description";

// Column widths as they have always been set, in twips (1/1440 inch, 15 to a pixel at 96 dpi).
constexpr int twipsPerPixel = 15;
constexpr int columnTwips[3] = {500, 2500, 3500};
constexpr Qt::Alignment columnAlignment[3] = {Qt::AlignCenter, Qt::AlignLeft | Qt::AlignVCenter,
                                              Qt::AlignCenter};

QTableWidgetItem *headerItem(const char *text, bool bold) {
    auto *item = new QTableWidgetItem(QString::fromUtf8(text));
    QFont font = item->font();
    font.setBold(bold);
    item->setFont(font);
    return item;
}

} // namespace

TelGrid::TelGrid(QWidget *parent) : QTableWidget(maxDevices, 3, parent) {
    setObjectName("TelGrid");
    setHorizontalHeaderItem(markColumn, headerItem("", false));
    setHorizontalHeaderItem(phoneColumn, headerItem(phoneHeader, true));
    setHorizontalHeaderItem(descriptionColumn, headerItem(descriptionHeader, true));
    for (int c = 0; c < 3; ++c)
        setColumnWidth(c, columnTwips[c] / twipsPerPixel);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->setDefaultSectionSize(20);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    for (int row = 0; row < maxDevices; ++row)
        for (int c = 0; c < 3; ++c) {
            auto *item = new QTableWidgetItem;
            item->setTextAlignment(columnAlignment[c]);
            setItem(row, c, item);
        }
}

void TelGrid::showRecord(const DeviceTable &devices, int record) {
    const PhoneListRow row = phoneListRow(devices.at(record));
    item(record - 1, markColumn)->setText(qtext(row.mark));
    item(record - 1, phoneColumn)->setText(qtext(row.connection));
    item(record - 1, descriptionColumn)->setText(qtext(row.description));
}

void TelGrid::showAll(const DeviceTable &devices) {
    for (int record = 1; record <= maxDevices; ++record)
        showRecord(devices, record);
}

void TelGrid::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (currentRow() >= 0)
            emit rowOpened(currentRow());
        event->accept();
        return;
    default:
        QTableWidget::keyPressEvent(event);
    }
}

QString TelGrid::cell(int record, int column) const {
    return item(record - 1, column)->text();
}

} // namespace vantrell

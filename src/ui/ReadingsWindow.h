// What a device's loggers measured, as the operator would rather see it than read it from data
// files: each channel's newest reading beside the limits its alarms are checked against, and one
// chart per channel over the last day, week, month or the whole journal. Long ranges
// come from the journal's rollups as a band from the lowest to the highest reading with the mean
// inside it. The journal is opened read-only for each read and closed again, so a session that
// runs meanwhile never waits for this window, and the window never touches the line.
#pragma once

#include "config/Tables.h"
#include "general/Clock.h"

#include <QWidget>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

class QButtonGroup;
class QLabel;
class QVBoxLayout;

namespace vantrell {

struct LatestReading;
struct Series;

class ReadingsWindow final : public QWidget {
    Q_OBJECT
public:
    enum class Range { day, week, month, all };
    // About one point per pixel of a chart as wide as a screen.
    static constexpr int chartPoints = 1000;

    // The device's limits come from its setup file in `configDir`.
    ReadingsWindow(std::filesystem::path journalFile, std::filesystem::path configDir,
                   const Clock &clock, QWidget *parent = nullptr);

    // Reads device `device`'s channels afresh over the range on show; `record`'s description goes
    // into the caption, and its serial numbers tell which logger's limits a reading meets.
    void showDevice(int device, const DeviceRecord &record);
    int device() const { return device_; }

public slots:
    void showRange(ReadingsWindow::Range range);

protected:
    // Esc closes the window, as it closes the program's dialogs.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void reload();
    void clearPage();
    // The problem to show instead of readings; empty when there are readings to show.
    QString readPage();
    void addLatest(const std::vector<LatestReading> &latest);
    void addChart(const Series &series, int index);

    std::filesystem::path journalFile_;
    std::filesystem::path configDir_;
    const Clock &clock_;
    int device_ = 0;
    std::array<std::string, maxLoggers> serials_; // logger k+1's at k, trimmed
    Range range_ = Range::week;
    QButtonGroup *ranges_ = nullptr;
    QLabel *lblDevice_ = nullptr;
    QLabel *lblNoReadings_ = nullptr;
    QVBoxLayout *charts_ = nullptr;
};

} // namespace vantrell

// What a device's loggers measured, as the operator would rather see it than read it from data
// files: one chart per channel over the last day, week, month or the whole journal. Long ranges
// come from the journal's rollups as a band from the lowest to the highest reading with the mean
// inside it. The journal is opened read-only for each read and closed again, so a session that
// runs meanwhile never waits for this window, and the window never touches the line.
#pragma once

#include "general/Clock.h"

#include <QWidget>

#include <filesystem>

class QButtonGroup;
class QLabel;
class QVBoxLayout;

namespace vantrell {

struct Series;

class ReadingsWindow final : public QWidget {
    Q_OBJECT
public:
    enum class Range { day, week, month, all };
    // About one point per pixel of a chart as wide as a screen.
    static constexpr int chartPoints = 1000;

    ReadingsWindow(std::filesystem::path journalFile, const Clock &clock,
                   QWidget *parent = nullptr);

    // Reads device `device`'s channels afresh over the range on show; `description` goes into
    // the caption.
    void showDevice(int device, const std::string &description);
    int device() const { return device_; }

public slots:
    void showRange(ReadingsWindow::Range range);

protected:
    // Esc closes the window, as it closes the program's dialogs.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void reload();
    void clearCharts();
    // The problem to show instead of charts; empty when there are charts to show.
    QString readCharts();
    void addChart(const Series &series, int index);

    std::filesystem::path journalFile_;
    const Clock &clock_;
    int device_ = 0;
    Range range_ = Range::week;
    QButtonGroup *ranges_ = nullptr;
    QLabel *lblDevice_ = nullptr;
    QLabel *lblNoReadings_ = nullptr;
    QVBoxLayout *charts_ = nullptr;
};

} // namespace vantrell

// The progress window: it rises in the bottom-right corner when a session or a report starts,
// shows the session's phase and detail, and sinks away by itself after a close request. It never
// takes the focus and never blocks, and it stops short of the notification-area icon where the
// icon sits in that corner. While a memory is transferred and saved it also shows how
// far the transfer has come, block k of N.
#pragma once

#include "config/Station.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace vantrell {

class ProgressWindow final : public QWidget {
    Q_OBJECT
public:
    ProgressWindow(Station &station, QWidget *parent = nullptr);

    // Where the notification-area icon is, in screen coordinates (an empty rectangle when the
    // platform does not say): the window comes to rest above it rather than over it.
    void keepClearOf(std::function<QRect()> iconArea) { iconArea_ = std::move(iconArea); }

    // Rises from below the screen's bottom edge.
    void openWindow();
    // Sinks away when fully up; a request while rising closes at once, one while sinking waits.
    void requestClose();

    void showService(const QString &text);
    void showReport(const QString &text);
    // Block `block` of `count`; a count of 0 hides the bar.
    void showBlocks(int block, int count);

    bool shownFlag() const { return shown_; }
    bool rising() const { return riseTimer_->isActive(); }
    bool sinking() const { return sinkTimer_->isActive(); }

public slots:
    void riseStep();
    void sinkStep();

private:
    QRect screenArea() const;
    int restingTop() const;

    Station &station_;
    QLabel *lblService_ = nullptr;
    QLabel *lblReport_ = nullptr;
    QProgressBar *barBlocks_ = nullptr;
    QTimer *riseTimer_ = nullptr;
    QTimer *sinkTimer_ = nullptr;
    bool shown_ = false;
    std::function<QRect()> iconArea_;
};

} // namespace vantrell

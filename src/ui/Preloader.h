// The splash window: four timed steps of about three seconds in all, each recognised by the
// timer's interval; the last one hands over to the main window and closes the splash.
#pragma once

#include "config/Station.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace vantrell {

class Preloader final : public QWidget {
    Q_OBJECT
public:
    Preloader(Station &station, QWidget *parent = nullptr);

    void start() { stepTimer_->start(); }
    int interval() const { return stepTimer_->interval(); }

    // "4.00" for version 4.0.0: major, a point, then minor and revision run together.
    static QString versionText(int major, int minor, int revision);

public slots:
    void nextStep();

signals:
    // Time to load the main window; the splash closes right after.
    void loadMain();

private:
    Station &station_;
    QLabel *label1_ = nullptr;
    QTimer *stepTimer_ = nullptr;
};

} // namespace vantrell

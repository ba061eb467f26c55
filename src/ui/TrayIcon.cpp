#include "ui/TrayIcon.h"

#include <QCursor>
#include <QPainter>
#include <QPixmap>

namespace vantrell {

namespace {

constexpr const char *openText = "Open Vantrell";
constexpr const char *exitText = "Exit";
constexpr const char *menuTitle = "Menu";

constexpr int side = 32;
const QColor dishColour(24, 74, 140);
const QColor signalColour(255, 170, 0);

QPixmap basePicture() {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(dishColour);
    p.drawRoundedRect(QRectF(1, 1, side - 2, side - 2), 6, 6);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(22);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, side, side), Qt::AlignCenter, "V");
    return pixmap;
}

// Qt counts angles in sixteenths of a degree.
constexpr int sixteenths = 16;

} // namespace

QIcon idleTrayPicture() {
    return QIcon(basePicture());
}

QIcon communicatingTrayPicture(int frame) {
    QPixmap pixmap = basePicture();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(signalColour, 4, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    const int start = 90 - frame * (360 / communicatingFrames);
    p.drawArc(QRectF(4, 4, side - 8, side - 8), start * sixteenths, -100 * sixteenths);
    return QIcon(pixmap);
}

TrayIcon::TrayIcon(QObject *parent) : QObject(parent), icon_(this) {
    setObjectName("TrayIcon");
    menu_.setObjectName("mnuPopUp");
    menu_.setTitle(menuTitle);
    open_ = menu_.addAction(openText);
    open_->setObjectName("mnuOpen");
    menu_.addSeparator()->setObjectName("separator");
    exit_ = menu_.addAction(exitText);
    exit_->setObjectName("mnuExit");
    connect(open_, &QAction::triggered, this, &TrayIcon::openRequested);
    connect(exit_, &QAction::triggered, this, &TrayIcon::exitRequested);

    idle_ = idleTrayPicture();
    for (int f = 0; f < communicatingFrames; ++f)
        frames_[std::size_t(f)] = communicatingTrayPicture(f);
    icon_.setIcon(idle_);
    connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::activate);
}

void TrayIcon::refresh(bool communicating, const std::string &tooltip) {
    if (communicating) {
        frame_ = (frame_ + 1) % communicatingFrames;
        icon_.setIcon(frames_[std::size_t(frame_)]);
    } else {
        icon_.setIcon(idle_);
    }
    // The countdown's line break is a carriage return; tooltips break on a line feed.
    QString tip = QString::fromStdString(tooltip);
    tip.replace('\r', '\n');
    icon_.setToolTip(tip);
}

void TrayIcon::activate(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        emit openRequested();
        break;
    case QSystemTrayIcon::Context:
        menu_.popup(QCursor::pos());
        break;
    default:
        break;
    }
}

} // namespace vantrell

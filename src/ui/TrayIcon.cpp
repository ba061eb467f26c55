#include "ui/TrayIcon.h"

#include "ui/QtText.h"

#include <QCursor>
#include <QPainter>
#include <QPixmap>

namespace vantrell {

namespace {

constexpr const char *openText = "Open Vantrell";
constexpr const char *exitText = "Exit";
constexpr const char *menuTitle = "Menu";

// Drawn at each size a tray, a window or the splash may ask for, so none is scaled up.
constexpr int sides[] = {16, 22, 32, 48, 96};
const QColor dishColour(24, 74, 140);
const QColor signalColour(255, 170, 0);

QPixmap basePicture(int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(dishColour);
    p.drawRoundedRect(QRectF(0, 0, side, side), side / 5.0, side / 5.0);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(side * 2 / 3);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, side, side), Qt::AlignCenter, "V");
    return pixmap;
}

// Qt counts angles in sixteenths of a degree.
constexpr int sixteenths = 16;

} // namespace

QIcon idleTrayPicture() {
    QIcon icon;
    for (int side : sides)
        icon.addPixmap(basePicture(side));
    return icon;
}

QIcon communicatingTrayPicture(int frame) {
    QIcon icon;
    for (int side : sides) {
        QPixmap pixmap = basePicture(side);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const double width = side / 8.0;
        p.setPen(QPen(signalColour, width, Qt::SolidLine, Qt::RoundCap));
        const int start = 90 - frame * (360 / communicatingFrames);
        p.drawArc(QRectF(width, width, side - 2 * width, side - 2 * width), start * sixteenths,
                  -100 * sixteenths);
        icon.addPixmap(pixmap);
    }
    return icon;
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
    QString tip = qtext(tooltip);
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

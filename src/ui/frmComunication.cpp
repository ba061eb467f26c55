#include "ui/frmComunication.h"

#include "ui/TrayIcon.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

namespace vantrell {

namespace {

constexpr const char *titleCaption = "Vantrell";
constexpr const char *blocksFormat = "block %v of %m";

// The window moves 150 twips (10 pixels) every 20 ms: about a quarter of a second each way.
constexpr int slideInterval = 20;
constexpr int slideStep = 10;
constexpr QSize windowSize(380, 120);

} // namespace

frmComunication::frmComunication(Station &station, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      station_(station) {
    setObjectName("frmComunication");
    setWindowTitle(titleCaption);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(windowSize);
    setAutoFillBackground(true);

    auto *layout = new QHBoxLayout(this);
    auto *image = new QLabel(this);
    image->setObjectName("Image1");
    image->setPixmap(idleTrayPicture().pixmap(32, 32));
    image->setAlignment(Qt::AlignTop);
    layout->addWidget(image);
    auto *lines = new QVBoxLayout;
    layout->addLayout(lines, 1);
    auto *title = new QLabel(titleCaption, this);
    title->setObjectName("lblTitle");
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    lblService_ = new QLabel(this);
    lblService_->setObjectName("lblService");
    lblReport_ = new QLabel(this);
    lblReport_->setObjectName("lblReport");
    lblReport_->setWordWrap(true);
    barBlocks_ = new QProgressBar(this);
    barBlocks_->setObjectName("barBlocks");
    barBlocks_->setFormat(blocksFormat);
    barBlocks_->setVisible(false);
    lines->addWidget(title);
    lines->addWidget(lblService_);
    lines->addWidget(lblReport_, 1);
    lines->addWidget(barBlocks_);

    timerLoad_ = new QTimer(this);
    timerLoad_->setObjectName("TimerLoad");
    timerLoad_->setInterval(slideInterval);
    connect(timerLoad_, &QTimer::timeout, this, &frmComunication::onTimerLoad);
    timerUnload_ = new QTimer(this);
    timerUnload_->setObjectName("TimerUnload");
    timerUnload_->setInterval(slideInterval);
    connect(timerUnload_, &QTimer::timeout, this, &frmComunication::onTimerUnload);
}

QRect frmComunication::screenArea() const {
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

void frmComunication::openWindow() {
    const QRect area = screenArea();
    timerUnload_->stop();
    move(area.right() + 1 - width(), area.bottom() + 1);
    shown_ = false;
    show();
    timerLoad_->start();
}

void frmComunication::onTimerLoad() {
    const QRect area = screenArea();
    shown_ = false;
    move(x(), y() - slideStep);
    if (area.bottom() + 1 - height() >= y()) {
        move(x(), area.bottom() + 1 - height());
        shown_ = true;
        timerLoad_->stop();
    }
}

void frmComunication::requestClose() {
    if (!isVisible())
        return;
    if (!shown_) {
        timerLoad_->stop();
        hide();
        return;
    }
    if (!timerUnload_->isActive())
        timerUnload_->start();
}

void frmComunication::onTimerUnload() {
    const QRect area = screenArea();
    shown_ = true;
    move(x(), y() + slideStep);
    if (y() >= area.bottom() + 1) {
        shown_ = false;
        timerUnload_->stop();
        hide();
    }
}

void frmComunication::showService(const QString &text) {
    lblService_->setText(text);
}

void frmComunication::showReport(const QString &text) {
    lblReport_->setText(text);
}

void frmComunication::showBlocks(int block, int count) {
    if (count <= 0) {
        barBlocks_->setVisible(false);
        return;
    }
    barBlocks_->setRange(0, count);
    barBlocks_->setValue(std::min(block, count));
    barBlocks_->setVisible(true);
}

} // namespace vantrell

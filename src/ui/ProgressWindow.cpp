#include "ui/ProgressWindow.h"

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

ProgressWindow::ProgressWindow(Station &station, QWidget *parent)
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

    riseTimer_ = new QTimer(this);
    riseTimer_->setObjectName("TimerLoad");
    riseTimer_->setInterval(slideInterval);
    connect(riseTimer_, &QTimer::timeout, this, &ProgressWindow::riseStep);
    sinkTimer_ = new QTimer(this);
    sinkTimer_->setObjectName("TimerUnload");
    sinkTimer_->setInterval(slideInterval);
    connect(sinkTimer_, &QTimer::timeout, this, &ProgressWindow::sinkStep);
}

QRect ProgressWindow::screenArea() const {
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

int ProgressWindow::restingTop() const {
    const QRect area = screenArea();
    QRect resting(area.right() + 1 - width(), area.bottom() + 1 - height(), width(), height());
    const QRect icon = iconArea_ ? iconArea_() : QRect();
    if (!icon.isEmpty() && resting.intersects(icon))
        resting.moveBottom(icon.top() - 1);
    return resting.top();
}

void ProgressWindow::openWindow() {
    const QRect area = screenArea();
    sinkTimer_->stop();
    move(area.right() + 1 - width(), area.bottom() + 1);
    shown_ = false;
    show();
    riseTimer_->start();
}

void ProgressWindow::riseStep() {
    const int top = restingTop();
    shown_ = false;
    move(x(), y() - slideStep);
    if (top >= y()) {
        move(x(), top);
        shown_ = true;
        riseTimer_->stop();
    }
}

void ProgressWindow::requestClose() {
    if (!isVisible())
        return;
    if (!shown_) {
        riseTimer_->stop();
        hide();
        return;
    }
    if (!sinkTimer_->isActive())
        sinkTimer_->start();
}

void ProgressWindow::sinkStep() {
    const QRect area = screenArea();
    shown_ = true;
    move(x(), y() + slideStep);
    if (y() >= area.bottom() + 1) {
        shown_ = false;
        sinkTimer_->stop();
        hide();
    }
}

void ProgressWindow::showService(const QString &text) {
    lblService_->setText(text);
}

void ProgressWindow::showReport(const QString &text) {
    lblReport_->setText(text);
}

void ProgressWindow::showBlocks(int block, int count) {
    if (count <= 0) {
        barBlocks_->setVisible(false);
        return;
    }
    barBlocks_->setRange(0, count);
    barBlocks_->setValue(std::min(block, count));
    barBlocks_->setVisible(true);
}

} // namespace vantrell

#include "ui/Preloader.h"

#include "ui/TrayIcon.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

namespace vantrell {

namespace {

constexpr const char *loadingText = "Loading ...";
constexpr const char *versionPlaceholder = "x.xx";
constexpr const char *description = "Automatic Communication System";

struct Step {
    int interval; // the tick is known by the interval it came with
    const char *text;
    int next;
};
constexpr Step steps[] = {{300, "Loading... Components", 600},
                          {600, "Loading... Times", 900},
                          {900, "Loading... Numbers", 1200}};
constexpr int lastInterval = 1200;

} // namespace

QString Preloader::versionText(int major, int minor, int revision) {
    return QString("%1.%2%3").arg(major).arg(minor).arg(revision);
}

Preloader::Preloader(Station &station, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), station_(station) {
    setObjectName("Preloader");
    auto *frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    auto *outer = new QGridLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    auto *layout = new QGridLayout(frame);

    auto *image = new QLabel(frame);
    image->setObjectName("Image1");
    image->setPixmap(idleTrayPicture().pixmap(96, 96));
    auto *name = new QLabel("Vantrell", frame);
    QFont big = name->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    name->setFont(big);
    auto *label3 = new QLabel(description, frame);
    label3->setObjectName("Label3");
    auto *label2 = new QLabel(versionPlaceholder, frame);
    label2->setObjectName("Label2");
    label1_ = new QLabel(loadingText, frame);
    label1_->setObjectName("Label1");
    layout->addWidget(image, 0, 0, 3, 1);
    layout->addWidget(name, 0, 1);
    layout->addWidget(label3, 1, 1);
    layout->addWidget(label2, 2, 1);
    layout->addWidget(label1_, 3, 0, 1, 2);

    const QStringList parts = QCoreApplication::applicationVersion().split('.');
    if (parts.size() == 3)
        label2->setText(versionText(parts[0].toInt(), parts[1].toInt(), parts[2].toInt()));

    stepTimer_ = new QTimer(this);
    stepTimer_->setObjectName("Timer1");
    stepTimer_->setInterval(steps[0].interval);
    connect(stepTimer_, &QTimer::timeout, this, &Preloader::nextStep);

    setFixedSize(sizeHint().expandedTo(QSize(360, 160)));
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Preloader::nextStep() {
    const int interval = stepTimer_->interval();
    stepTimer_->stop();
    for (const Step &step : steps)
        if (interval == step.interval) {
            label1_->setText(step.text);
            stepTimer_->setInterval(step.next);
            stepTimer_->start();
            return;
        }
    if (interval == lastInterval) {
        close();
        emit loadMain();
    }
}

} // namespace vantrell

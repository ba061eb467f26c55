#include "ui/PathLabel.h"

#include <QPainter>

namespace vantrell {

namespace {
constexpr int shortestShown = 12; // characters
} // namespace

PathLabel::PathLabel(QWidget *parent) : QLabel(parent) {}

void PathLabel::setPath(const QString &path) {
    setText(path);
    setToolTip(path);
}

QString PathLabel::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

QSize PathLabel::minimumSizeHint() const {
    const int frame = width() - contentsRect().width();
    return {fontMetrics().averageCharWidth() * shortestShown + frame,
            QLabel::minimumSizeHint().height()};
}

void PathLabel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    drawFrame(&painter);
    painter.drawText(contentsRect(), int(alignment()), shownText());
}

} // namespace vantrell

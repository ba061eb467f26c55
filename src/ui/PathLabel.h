// A folder path in one line that never widens its window: a path longer than the label is shown
// with its middle left out, and the whole path is in the label's tip.
#pragma once

#include <QLabel>

namespace vantrell {

class PathLabel final : public QLabel {
    Q_OBJECT
public:
    explicit PathLabel(QWidget *parent = nullptr);

    // text() keeps the whole path.
    void setPath(const QString &path);
    // What the label shows at its present width.
    QString shownText() const;
    // A few characters wide: the window may be narrower than the path. (The size hint is the
    // whole path, so a window sized to its contents shows a short one in full.)
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace vantrell

// A frame with a check box on its edge. The frame's caption begins with blanks that make room
// for the box, and the box sits in them, so box and caption read as one line: "[x] Report".
#pragma once

#include <QGroupBox>

class QCheckBox;

namespace vantrell {

class EdgeCheckFrame final : public QGroupBox {
    Q_OBJECT
public:
    // `check` has no caption of its own; the frame takes it over.
    EdgeCheckFrame(const QString &caption, QCheckBox *check, QWidget *parent = nullptr);

protected:
    bool event(QEvent *event) override;

private:
    void placeCheck();

    QCheckBox *check_;
};

} // namespace vantrell

// A text box that offers a default. While the box would otherwise be empty it shows the default
// in the inactive colour; the default is a real text, stored as it stands when the operator
// keeps it, and the operator's first edit replaces it instead of editing it.
#pragma once

#include <QLineEdit>

namespace vantrell {

class DefaultTextBox final : public QLineEdit {
    Q_OBJECT
public:
    explicit DefaultTextBox(QString defaultText, QWidget *parent = nullptr);

    // A stored value, in the normal colour; the default when the value is empty.
    void showValue(const QString &value);
    bool showsDefault() const { return showsDefault_; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void showDefault();
    void setShowsDefault(bool shows);

    QString default_;
    bool showsDefault_ = false;
};

} // namespace vantrell

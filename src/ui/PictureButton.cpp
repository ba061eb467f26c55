#include "ui/PictureButton.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace vantrell {

namespace {

// Lives as the button's child, so it goes with the button.
class EnterPress final : public QObject {
public:
    explicit EnterPress(QAbstractButton &button) : QObject(&button), button_(button) {}

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched != &button_ || event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<const QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        button_.click();
        return true;
    }

private:
    QAbstractButton &button_;
};

} // namespace

void pressOnEnter(QAbstractButton &button) {
    button.installEventFilter(new EnterPress(button));
}

} // namespace vantrell

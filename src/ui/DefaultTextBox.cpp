#include "ui/DefaultTextBox.h"

#include <QKeyEvent>

namespace vantrell {

namespace {

// Keys that change the text; moving the cursor or selecting leaves the default as it is.
bool editsText(const QKeyEvent *event) {
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut))
        return true;
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)
        return true;
    const QString typed = event->text();
    return !typed.isEmpty() && typed.at(0).isPrint();
}

} // namespace

DefaultTextBox::DefaultTextBox(QString defaultText, QWidget *parent)
    : QLineEdit(parent), default_(std::move(defaultText)) {
    // A change that did not come through a key (a paste from the context menu, a text the
    // program sets) ends the default as well; it just does not clear the box first.
    connect(this, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (showsDefault_ && text != default_)
            setShowsDefault(false);
    });
    showDefault();
}

void DefaultTextBox::showValue(const QString &value) {
    if (value.isEmpty()) {
        showDefault();
        return;
    }
    setShowsDefault(false);
    setText(value);
}

void DefaultTextBox::showDefault() {
    setShowsDefault(true);
    setText(default_);
}

void DefaultTextBox::setShowsDefault(bool shows) {
    showsDefault_ = shows;
    QPalette colours;
    if (shows)
        colours.setColor(QPalette::Text, colours.color(QPalette::PlaceholderText));
    setPalette(colours);
}

void DefaultTextBox::keyPressEvent(QKeyEvent *event) {
    if (showsDefault_ && editsText(event)) {
        setShowsDefault(false);
        clear();
    }
    QLineEdit::keyPressEvent(event);
}

void DefaultTextBox::focusOutEvent(QFocusEvent *event) {
    QLineEdit::focusOutEvent(event);
    if (text().isEmpty())
        showDefault();
}

} // namespace vantrell

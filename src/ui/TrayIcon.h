// The station's presence in the notification area: an idle picture, five frames that turn while
// a device is being read, the countdown tooltip, and the pop-up menu on the right button's
// release. Where the desktop has no notification area the icon is simply never shown.
#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <array>
#include <string>

namespace vantrell {

inline constexpr int communicatingFrames = 5;

class TrayIcon final : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject *parent = nullptr);

    void showIcon() { icon_.show(); }
    void removeIcon() { icon_.hide(); }
    bool visible() const { return icon_.isVisible(); }
    // Where the icon sits on the screen (empty where the platform does not say).
    QRect geometry() const { return icon_.geometry(); }

    // One tick of the tray timer: the next animation frame while communicating, else the idle
    // picture; the tooltip in both cases.
    void refresh(bool communicating, const std::string &tooltip);
    int frame() const { return frame_; }
    QString toolTip() const { return icon_.toolTip(); }

    QMenu &menu() { return menu_; }
    QAction *openAction() const { return open_; }
    QAction *exitAction() const { return exit_; }

    // What a click, double click or right-button release on the icon does.
    void activate(QSystemTrayIcon::ActivationReason reason);

signals:
    void openRequested();
    void exitRequested();

private:
    QSystemTrayIcon icon_;
    QMenu menu_;
    QAction *open_ = nullptr;
    QAction *exit_ = nullptr;
    QIcon idle_;
    std::array<QIcon, communicatingFrames> frames_;
    int frame_ = 0;
};

// The pictures, drawn rather than shipped: a phone-line dish, and the same with a sweep of
// signal arcs turned one fifth further in each frame.
QIcon idleTrayPicture();
QIcon communicatingTrayPicture(int frame);

} // namespace vantrell

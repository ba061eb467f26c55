// Stores that would change the device a session is reading wait here until its session has
// ended, so that the session goes on with the record, data folder and alarm setup it started
// with; stores of every other device go through at once. The main window owns them and lets
// them go when its cycle step returns; a window finds them through its owners.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace vantrell {

class Station;

class HeldStores final : public QObject {
    Q_OBJECT
public:
    explicit HeldStores(Station &station, QObject *parent = nullptr);

    // The stores of the window's main window; none for a window without one (nothing runs a
    // session there, so nothing would ever let them go).
    static HeldStores *of(const QObject *window);
    // The line a window shows while a store of `device` waits.
    static QString waitingText(int device);

    // Whether a store of `device` must wait: a session reads it, or earlier stores of it still
    // wait (they go first).
    bool mustWait(int device) const;
    void hold(int device, std::function<void()> store);
    bool holds(int device) const;
    // Runs, in the order they came, the stores whose device no session reads any more.
    void release();

signals:
    // A store was held or let go.
    void changed();

private:
    struct Held {
        int device;
        std::function<void()> store;
    };

    Station &station_;
    std::vector<Held> held_;
};

} // namespace vantrell

#include "ui/HeldStores.h"

#include "config/Station.h"

#include <algorithm>

namespace vantrell {

HeldStores::HeldStores(Station &station, QObject *parent) : QObject(parent), station_(station) {
    setObjectName("heldStores");
}

HeldStores *HeldStores::of(const QObject *window) {
    for (const QObject *owner = window; owner != nullptr; owner = owner->parent())
        if (auto *held = owner->findChild<HeldStores *>(QString(), Qt::FindDirectChildrenOnly))
            return held;
    return nullptr;
}

QString HeldStores::waitingText(int device) {
    return QString("Device %1 is being read: its changes are stored when its session ends")
        .arg(device);
}

bool HeldStores::mustWait(int device) const {
    return station_.deviceInSession() == device || holds(device);
}

void HeldStores::hold(int device, std::function<void()> store) {
    held_.push_back({device, std::move(store)});
    emit changed();
}

bool HeldStores::holds(int device) const {
    return std::any_of(held_.begin(), held_.end(),
                       [device](const Held &held) { return held.device == device; });
}

// A store may show a message box, whose event loop comes back here: the stores it runs are out
// of the list first. The operator's selection stays where it is, whichever record they store.
void HeldStores::release() {
    const std::optional<int> reading = station_.deviceInSession();
    std::vector<Held> due;
    std::vector<Held> waiting;
    for (Held &held : held_)
        (held.device == reading ? waiting : due).push_back(std::move(held));
    held_ = std::move(waiting);
    if (due.empty())
        return;
    const int selected = station_.selectedDevice;
    for (Held &held : due)
        held.store();
    station_.selectedDevice = selected;
    emit changed();
}

} // namespace vantrell

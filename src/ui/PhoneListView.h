// What the device dialogs need from the main window's phone list: the first free row for a new
// device (with its "list is full" message), and a refresh after a device was stored or deleted.
#pragma once

#include <optional>

namespace vantrell {

class PhoneListView {
public:
    virtual ~PhoneListView() = default;
    // The lowest free row 1..50; nothing (after telling the operator) when the list is full.
    virtual std::optional<int> findFreeRow() = 0;
    virtual void refreshGrid() = 0;
};

} // namespace vantrell

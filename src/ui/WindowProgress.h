// The session's progress texts on their way to the progress window. Each text replaces the one
// before it on its line; texts that count memory blocks ("... block no. k") also move the
// window's bar, against the number of records the logger said it holds.
#pragma once

#include "config/Station.h"
#include "general/Progress.h"

#include <optional>
#include <string_view>

namespace vantrell {

class ProgressWindow;

// The block number a counting text carries; none for any other text.
std::optional<int> countedBlock(std::string_view text);

class WindowProgress final : public ProgressSink {
public:
    // The window and the station come into being after the sink the station is built with.
    void attach(ProgressWindow &window, const Station &station);

    void show(ProgressLine line, std::string_view text) override;
    void openWindow() override;
    void closeWindow() override;

private:
    ProgressWindow *window_ = nullptr;
    const Station *station_ = nullptr;
};

} // namespace vantrell

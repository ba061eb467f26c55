// The session's progress texts on their way to the progress window. Each text replaces the one
// before it on its line; texts that count memory blocks ("... block no. k") also move the
// window's bar, against the number of records the transfer under way asks for.
#pragma once

#include "general/Progress.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace vantrell {

class ProgressWindow;

// The block number a counting text carries; none for any other text.
std::optional<int> countedBlock(std::string_view text);

class WindowProgress final : public ProgressSink {
public:
    // The window comes into being after the sink the station is built with.
    void attach(ProgressWindow &window);

    void show(ProgressLine line, std::string_view text) override;
    void openWindow() override;
    void closeWindow() override;
    void transferSize(std::size_t records) override { transferSize_ = records; }

private:
    ProgressWindow *window_ = nullptr;
    std::size_t transferSize_ = 0;
};

} // namespace vantrell

#include "ui/WindowProgress.h"

#include "ui/ProgressWindow.h"
#include "ui/QtText.h"

#include <charconv>

namespace vantrell {

namespace {
// Transfer, processing and saving all count their blocks after this mark.
constexpr std::string_view blockMark = "block no. ";
} // namespace

std::optional<int> countedBlock(std::string_view text) {
    const auto at = text.find(blockMark);
    if (at == std::string_view::npos)
        return std::nullopt;
    const std::string_view digits = text.substr(at + blockMark.size());
    int block = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), block);
    if (error != std::errc() || end == digits.data())
        return std::nullopt;
    return block;
}

void WindowProgress::attach(ProgressWindow &window) {
    window_ = &window;
}

void WindowProgress::show(ProgressLine line, std::string_view text) {
    if (window_ == nullptr)
        return;
    const QString shown = qtext(text);
    if (line == ProgressLine::service) {
        window_->showService(shown);
        return;
    }
    window_->showReport(shown);
    const auto block = countedBlock(text);
    const auto count = int(transferSize_);
    window_->showBlocks(block ? *block : 0, block ? count : 0);
}

void WindowProgress::openWindow() {
    if (window_ != nullptr)
        window_->openWindow();
}

void WindowProgress::closeWindow() {
    if (window_ != nullptr)
        window_->requestClose();
}

} // namespace vantrell

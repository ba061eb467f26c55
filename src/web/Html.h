// Texts from the configuration and from loggers go into the page as text, never as markup.
#pragma once

#include <string>
#include <string_view>

namespace vantrell {

std::string escapeHtml(std::string_view text);

} // namespace vantrell

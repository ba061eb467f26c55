// The progress texts of the link steps that other steps show too: the session while the
// switch settles, and the logger probe.
#pragma once

namespace vantrell::linkText {
inline constexpr const char *korvaneConnecting = "Korvane Connecting...";
inline constexpr const char *korvaneConnected = "Korvane Connected";
inline constexpr const char *switchConnected = "Switch Connected";
} // namespace vantrell::linkText

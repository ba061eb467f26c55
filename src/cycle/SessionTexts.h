// The progress texts of the reading session that the windows and their tests look for.
#pragma once

namespace vantrell::sessionText {
inline constexpr const char *preparingConnection = "Preparing Connection to Device: ";
inline constexpr const char *sessionStopped = "Session stopped: the program is ending";
} // namespace vantrell::sessionText

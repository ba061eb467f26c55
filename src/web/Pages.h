// The status page's two HTML pages, built from the station's snapshot and what the journal
// holds. They carry no script or style of their own: the browser takes both from /static/,
// so the content security policy can forbid everything inline.
#pragma once

#include "cycle/StationSnapshot.h"
#include "cycle/StatusReport.h"
#include "journal/Journal.h"

#include <optional>
#include <string>
#include <vector>

namespace vantrell {

// Shown where the journal has nothing to plot, or is not there yet.
inline constexpr const char *noReadingsText = "no readings yet";

std::string stationPage(const StationSnapshot &snapshot, const JournalView &view);

struct DeviceHistory {
    std::vector<SessionRow> sessions;      // the newest first
    std::vector<ChannelOfDevice> channels; // empty: no readings yet
};

// `device` is one of the snapshot's devices.
std::string devicePage(const StationSnapshot &snapshot, const DeviceSnapshot &device,
                       const DeviceHistory &history);

} // namespace vantrell

// The status page's two HTML pages, built from the station's snapshot and what the journal
// holds. They carry no script or style of their own: the browser takes both from /static/,
// so the content security policy can forbid everything inline. The page script keeps them up to
// date from /api/status: every part it updates has an id, every device row its number.
#pragma once

#include "cycle/StationSnapshot.h"
#include "cycle/StatusReport.h"
#include "journal/Journal.h"
#include "web/StationState.h"

#include <string>
#include <vector>

namespace vantrell {

// Shown where the journal has nothing to plot, or is not there yet.
inline constexpr const char *noReadingsText = "no readings yet";

std::string stationPage(const StationSnapshot &snapshot, const JournalView &view,
                        const StationState &state);

struct DeviceHistory {
    std::vector<SessionRow> sessions;      // the newest first
    std::vector<ChannelOfDevice> channels; // empty: no readings yet
    std::vector<AlarmRow> alarms;          // the newest first
};

// `device` is one of the snapshot's devices; `view` holds its journal and newest readings.
std::string devicePage(const StationSnapshot &snapshot, const DeviceSnapshot &device,
                       const JournalView &view, const DeviceHistory &history,
                       const StationState &state);

} // namespace vantrell

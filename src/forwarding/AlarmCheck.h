// Which alarms a logger's readings raise: a channel outside its minimum and maximum (absolute),
// two readings of a channel within a recent window further apart than a delta (acceleration),
// and the logger's own limit alarm. The check sends nothing and waits for nothing: it returns
// each alarm with its text and its way out, and the station's forwarding sends them. Channel
// alarms go to every number of the phone book; the limit alarm by mail or SMS to the device's
// alarm address.
#pragma once

#include "config/LoggerParameters.h"
#include "config/Tables.h"
#include "general/Progress.h"

#include <string>
#include <vector>

namespace vantrell {

enum class AlarmRoute { phoneBook, mail, sms };

// What an alarm is about, as the journal names it.
enum class AlarmKind { channel, limit, silentStation, answeringAgain };
// "channel alarm", "limit alarm", "silent station", "answering again"
const char *nameOf(AlarmKind kind);

struct AlarmMessage {
    AlarmRoute route;
    std::string address; // the mail address or number of a limit alarm; empty for the phone book
    std::string text;
    AlarmKind kind = AlarmKind::limit;
    int channel = 0; // 1..4, the logger's channel of a channel alarm; 0 for the others

    bool operator==(const AlarmMessage &) const = default;
};

// Entries first..last (1-based) of the ReadingTable that an acceleration check compares.
struct EntryRange {
    int first = 1;
    int last = 0;
    bool empty() const { return first > last; }
};
// The newest reading is entry L - 1 (entry L is the line after the last record). A window of W
// entries starts at L - W, at entry 1 when W reaches back beyond the history; a window of no
// entries (W 0 or less) compares nothing.
EntryRange accelerationWindow(int historyLength, double windowEntries);
// The most entries the acceleration check of the logger at `loggerIndex` (1..8) looks back on:
// the widest window of its channels that check; 0 when none does.
int widestAccelerationWindow(const ChannelSetup &setup, int loggerIndex);

// The limit alarm's text, after the kind of connection of the device.
std::string limitAlarmText(const DeviceRecord &device, const std::string &serial);
// The limit alarm of the logger at `loggerIndex` (1..8), by mail or SMS after the device's
// notify kind.
AlarmMessage limitAlarm(const DeviceRecord &device, int loggerIndex);

// The channel alarms of the logger at `loggerIndex` (1..8), whose channels 1..4 use setup
// channels 4n-3..4n. Each channel raises at most one alarm of each kind per check. The texts
// that show how far a check has come, and a limit that is not a number, go to `progress`.
class AlarmCheck {
public:
    AlarmCheck(const ChannelSetup &setup, int loggerIndex, ProgressSink &progress)
        : setup_(setup), loggerIndex_(loggerIndex), progress_(progress) {}

    // `readings` are what this transfer decoded (none when none ran), every reading at full
    // precision. A channel raises its alarm at the first reading outside its limits.
    std::vector<AlarmMessage> absoluteAlarms(const std::vector<Reading> &readings);
    // `readings` are the data file read back, of which the first `history` entries (L) count.
    std::vector<AlarmMessage> accelerationAlarms(const std::vector<Reading> &readings, int history);

private:
    int setupChannel(int channel) const;
    std::string channelText(int channel) const;
    double limit(int setupChannel, int field, const char *name);
    bool windowExceeds(const std::vector<Reading> &readings, int channel, EntryRange window,
                       double delta);

    const ChannelSetup &setup_;
    int loggerIndex_;
    ProgressSink &progress_;
};

} // namespace vantrell

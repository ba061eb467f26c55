// What `vantrelld status` and the status page tell: the schedule, the marks and the devices from
// the station's snapshot, and from the journal per device the last session, the last good read,
// the schedule times missed in a row and the newest reading of each channel, the alarms of the
// last week, and the deliveries still waiting in the outbox.
// Monitoring reads its exit code, so the journal is opened read-only and never waited for: a
// journal that is missing, damaged or locked is reported as unavailable instead.
#pragma once

#include "config/ConfFile.h"
#include "cycle/StationSnapshot.h"
#include "journal/Journal.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace vantrell {

struct JournalView {
    enum class State { off, ok, unavailable };
    State state = State::off;
    std::string reason; // why it is unavailable
    std::map<int, DeviceJournal> devices;
    std::vector<DeliveryRow> pending;            // the oldest first
    std::optional<std::int64_t> mqttUnpublished; // readings still to go; empty with MQTT off
    std::vector<AlarmRow> alarms;                // of the last 7 days, newest first, at most 100
    std::map<int, std::vector<LatestReading>> latest; // per device asked for
    std::optional<std::uintmax_t> journalBytes;       // the journal file's size (with its -wal)
};

const char *nameOf(JournalView::State state);
// A moment as the station's local time with its offset.
std::string localTime(UtcSeconds utc);
// A session's letter in the words of the run report; "no letter" for a session a stop ended.
std::string wordsOf(const std::string &letter); // "off", "ok", "unavailable"

// The week of alarms ends at `clock`'s present.
JournalView readJournalView(const std::filesystem::path &configDir, const ConfSettings &settings,
                            const std::vector<int> &devices, const Clock &clock = systemClock());

// "X" for every one of `activeDevices` and nothing pending; with the journal off, always.
bool allWell(const JournalView &view, const std::vector<int> &activeDevices);

// The lines after today's status; nothing with the journal off.
void printJournalView(std::ostream &out, const JournalView &view,
                      const std::vector<int> &activeDevices, UtcSeconds now);

// "schedule", "countdown" and "devices", one object for `status --json` and the page's API.
nlohmann::ordered_json statusJson(const StationSnapshot &snapshot);

// Adds "journal", "outbox", "alarms" and "journal_bytes" to the status object, and to each of its
// "devices" its "last_session", "last_good_read", "missed_times" and "latest".
void addJournalView(nlohmann::ordered_json &status, const JournalView &view);

} // namespace vantrell

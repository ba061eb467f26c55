#include "StatusReport.h"

#include "config/SessionStatus.h"
#include "config/Tables.h"
#include "general/Progress.h"
#include "general/Text.h"

#include <algorithm>

namespace vantrell {

namespace {

// A session ended by a stop leaves no letter.
constexpr const char *noLetterWords = "no letter";

// The alarms the status shows: a week's, and no more of them than a page can list.
constexpr int alarmDays = 7;
constexpr int shownAlarms = 100;

} // namespace

std::string localTime(UtcSeconds utc) {
    int offset = 0;
    (void)toLocal(utc, &offset);
    return isoLocal(utc, offset);
}

std::string wordsOf(const std::string &letter) {
    if (letter.empty())
        return noLetterWords;
    const auto status = statusOfMark(letter);
    return status ? std::string(wordsOf(*status)) : "unknown letter";
}

namespace {

std::string ageText(UtcSeconds seconds) {
    seconds = std::max<UtcSeconds>(0, seconds);
    const UtcSeconds hours = seconds / 3600;
    const UtcSeconds minutes = seconds % 3600 / 60;
    return hours > 0 ? std::to_string(hours) + " h " + std::to_string(minutes) + " min"
                     : std::to_string(minutes) + " min";
}

nlohmann::ordered_json timeOrNull(const std::optional<UtcSeconds> &utc) {
    return utc ? nlohmann::ordered_json(localTime(*utc)) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json sessionJson(const SessionRow &s) {
    return {{"start", localTime(s.started)},
            {"end", localTime(s.ended)},
            {"letter",
             s.letter.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(s.letter)},
            {"words", wordsOf(s.letter)},
            {"records", s.recordsRead},
            {"data_file", s.dataFile.empty() ? nlohmann::ordered_json(nullptr)
                                             : nlohmann::ordered_json(s.dataFile)}};
}

nlohmann::ordered_json alarmJson(const AlarmRow &a) {
    return {{"time", localTime(a.raised)}, {"device", a.device},
            {"channel", a.channel},        {"kind", a.kind},
            {"message", a.message},        {"outcome", a.outcome}};
}

// A missing reading has no value.
nlohmann::ordered_json readingJson(const LatestReading &r) {
    return {
        {"serial", r.serial},
        {"channel", r.channel},
        {"name", r.name},
        {"unit", r.unit},
        {"time", localTime(r.utc)},
        {"value", r.value ? nlohmann::ordered_json(*r.value) : nlohmann::ordered_json(nullptr)}};
}

nlohmann::ordered_json textOrNull(const std::string &text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

// The stored day (dd/mm/yyyy) as ISO 8601, like every other time the JSON gives; a text that is
// no such day is given as it stands.
std::string isoDay(const std::string &stored) {
    const bool dayForm = stored.size() == 10 && stored[2] == '/' && stored[5] == '/' &&
                         std::all_of(stored.begin(), stored.end(),
                                     [](char c) { return c == '/' || (c >= '0' && c <= '9'); });
    return dayForm ? stored.substr(6, 4) + "-" + stored.substr(3, 2) + "-" + stored.substr(0, 2)
                   : stored;
}

} // namespace

nlohmann::ordered_json statusJson(const StationSnapshot &snapshot) {
    nlohmann::ordered_json times = nlohmann::ordered_json::array();
    nlohmann::ordered_json done = nlohmann::ordered_json::array();
    for (int t = 0; t < scheduleTimeCount; ++t) {
        times.push_back(textOrNull(snapshot.times[t]));
        done.push_back(textOrNull(snapshot.done[t]));
    }
    nlohmann::ordered_json devices = nlohmann::ordered_json::array();
    for (const DeviceSnapshot &d : snapshot.devices) {
        nlohmann::ordered_json marks = nlohmann::ordered_json::array();
        for (int t = 0; t < scheduleTimeCount; ++t)
            marks.push_back(
                {{"time", t + 1}, {"scheduled", d.scheduled[t]}, {"mark", textOrNull(d.marks[t])}});
        devices.push_back({{"device", d.number},
                           {"description", d.description},
                           {"connection", d.connection},
                           {"active", d.active},
                           {"marks", marks}});
    }
    const nlohmann::ordered_json countdown =
        snapshot.countdown ? nlohmann::ordered_json{{"hours", snapshot.countdown->hours},
                                                    {"minutes", snapshot.countdown->minutes}}
                           : nlohmann::ordered_json(nullptr);
    return {{"schedule",
             {{"times", times}, {"day", textOrNull(isoDay(snapshot.scheduleDay))}, {"done", done}}},
            {"countdown", countdown},
            {"devices", devices}};
}

const char *nameOf(JournalView::State state) {
    switch (state) {
    case JournalView::State::ok:
        return "ok";
    case JournalView::State::unavailable:
        return "unavailable";
    default:
        return "off";
    }
}

JournalView readJournalView(const std::filesystem::path &configDir, const ConfSettings &settings,
                            const std::vector<int> &devices, const Clock &clock) {
    JournalView view;
    if (!settings.journalOn())
        return view;
    const auto unavailable = [&view](const JournalProblem &problem) {
        view = {};
        view.state = JournalView::State::unavailable;
        view.reason = problem.text;
        return view;
    };
    const std::filesystem::path file = configDir / settings.journalSettings().file;
    std::unique_ptr<Journal> journal;
    if (auto problem = Journal::open(file, Journal::Access::readOnly, journal))
        return unavailable(problem);
    for (int device : devices) {
        if (auto problem = journal->deviceJournal(device, view.devices[device]))
            return unavailable(problem);
        if (auto problem = journal->latestReadings(device, view.latest[device]))
            return unavailable(problem);
    }
    if (auto problem = journal->pendingDeliveries(view.pending))
        return unavailable(problem);
    const UtcSeconds now = toUtc(clock.localNow()).utc;
    if (auto problem = journal->alarmsSince(now - alarmDays * 86400, 0, shownAlarms, view.alarms))
        return unavailable(problem);
    std::uintmax_t bytes = 0;
    for (const std::filesystem::path &part :
         {file, std::filesystem::path(file.string() + "-wal")}) {
        std::error_code missing;
        const std::uintmax_t size = std::filesystem::file_size(part, missing);
        bytes += missing ? 0 : size;
    }
    view.journalBytes = bytes;
    if (settings.mqtt && settings.mqtt->on()) {
        std::int64_t unpublished = 0;
        if (auto problem = journal->unpublishedCount(unpublished))
            return unavailable(problem);
        view.mqttUnpublished = unpublished;
    }
    std::stable_sort(
        view.pending.begin(), view.pending.end(),
        [](const DeliveryRow &a, const DeliveryRow &b) { return a.created < b.created; });
    view.state = JournalView::State::ok;
    return view;
}

bool allWell(const JournalView &view, const std::vector<int> &activeDevices) {
    if (view.state == JournalView::State::off)
        return true;
    if (view.state != JournalView::State::ok || !view.pending.empty())
        return false;
    return std::all_of(activeDevices.begin(), activeDevices.end(), [&view](int device) {
        const auto found = view.devices.find(device);
        return found != view.devices.end() && found->second.lastSession &&
               isDoneMark(found->second.lastSession->letter);
    });
}

void printJournalView(std::ostream &out, const JournalView &view,
                      const std::vector<int> &activeDevices, UtcSeconds now) {
    if (view.state == JournalView::State::off)
        return;
    if (view.state == JournalView::State::unavailable) {
        out << "journal: unavailable (" << printable(view.reason) << ")\n";
        return;
    }
    out << "journal:\n";
    for (int device : activeDevices) {
        const DeviceJournal &d = view.devices.at(device);
        out << "  " << device << "  ";
        if (!d.lastSession) {
            out << "no session yet\n";
            continue;
        }
        const SessionRow &s = *d.lastSession;
        out << "last session " << localTime(s.started) << " "
            << (s.letter.empty() ? "-" : printable(s.letter)) << " " << wordsOf(s.letter)
            << "  last good read " << (d.lastGoodRead ? localTime(*d.lastGoodRead) : "never")
            << "  missed times " << d.missedTimes << "\n";
    }
    if (view.pending.empty()) {
        out << "outbox: empty\n";
    } else {
        const DeliveryRow &oldest = view.pending.front();
        out << "outbox: " << view.pending.size() << " pending, the oldest "
            << ageText(now - oldest.created) << " old: " << nameOf(oldest.kind) << " to "
            << printable(oldest.recipient) << " \"" << printable(oldest.what) << "\"\n";
    }
    out << "alarms in the last " << alarmDays
        << " days: " << (view.alarms.size() < std::size_t(shownAlarms) ? "" : "at least ")
        << view.alarms.size() << "\n";
}

void addJournalView(nlohmann::ordered_json &status, const JournalView &view) {
    status["journal"] = {{"state", nameOf(view.state)},
                         {"reason", view.reason.empty() ? nlohmann::ordered_json(nullptr)
                                                        : nlohmann::ordered_json(view.reason)}};
    const bool ok = view.state == JournalView::State::ok;
    for (nlohmann::ordered_json &device : status["devices"]) {
        const auto found = view.devices.find(device["device"].get<int>());
        const DeviceJournal *d = ok && found != view.devices.end() ? &found->second : nullptr;
        device["last_session"] =
            d && d->lastSession ? sessionJson(*d->lastSession) : nlohmann::ordered_json(nullptr);
        device["last_good_read"] =
            d ? timeOrNull(d->lastGoodRead) : nlohmann::ordered_json(nullptr);
        device["missed_times"] =
            d ? nlohmann::ordered_json(d->missedTimes) : nlohmann::ordered_json(nullptr);
        const auto latest = view.latest.find(device["device"].get<int>());
        nlohmann::ordered_json readings = nlohmann::ordered_json::array();
        if (ok && latest != view.latest.end())
            for (const LatestReading &r : latest->second)
                readings.push_back(readingJson(r));
        device["latest"] = ok ? readings : nlohmann::ordered_json(nullptr);
    }
    if (!ok) {
        status["outbox"] = nullptr;
        status["alarms"] = nullptr;
        status["journal_bytes"] = nullptr;
        return;
    }
    nlohmann::ordered_json oldest = nullptr;
    nlohmann::ordered_json what = nullptr;
    if (!view.pending.empty()) {
        const DeliveryRow &o = view.pending.front();
        oldest = localTime(o.created);
        what = {{"kind", nameOf(o.kind)}, {"device", o.device}, {"recipient", o.recipient},
                {"what", o.what},         {"tries", o.tries},   {"last_error", o.lastError}};
    }
    status["outbox"] = {
        {"pending", view.pending.size()}, {"oldest", oldest}, {"oldest_delivery", what}};
    nlohmann::ordered_json alarms = nlohmann::ordered_json::array();
    for (const AlarmRow &a : view.alarms)
        alarms.push_back(alarmJson(a));
    status["alarms"] = alarms;
    status["journal_bytes"] = view.journalBytes ? nlohmann::ordered_json(*view.journalBytes)
                                                : nlohmann::ordered_json(nullptr);
}

} // namespace vantrell

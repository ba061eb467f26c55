#include "publish/MetricsFile.h"

#include "config/AtomicFile.h"
#include "config/SessionStatus.h"
#include "cycle/Schedule.h"
#include "general/Progress.h"

#include <optional>
#include <utility>
#include <vector>

namespace vantrell {

namespace {

constexpr const char *goesOn = "; the station goes on without it";

// Each letter with its words, so that whoever reads the metrics needs no table beside them.
std::string lettersInWords() {
    std::string text;
    for (const SessionStatusText &entry : sessionStatusTexts)
        text.append(text.empty() ? "" : "; ").append(entry.letter).append(" ").append(entry.words);
    return text + ".";
}

// One family of the file: its name, type and help line, and its samples.
class Family {
public:
    Family(const char *name, const char *type, const char *help)
        : name_(name), text_(std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " +
                             type + "\n") {}

    // `labels`: name and value pairs; the values are escaped here.
    Family &sample(const std::vector<std::pair<const char *, std::string>> &labels,
                   std::int64_t value) {
        text_ += name_;
        if (!labels.empty()) {
            const char *separator = "{";
            for (const auto &[label, labelValue] : labels) {
                text_ += separator;
                text_ += label;
                text_ += "=\"" + escaped(labelValue) + "\"";
                separator = ",";
            }
            text_ += "}";
        }
        text_ += " " + std::to_string(value) + "\n";
        return *this;
    }

    const std::string &text() const { return text_; }

private:
    // A label value may hold any text; the format escapes the three characters that would end
    // it or its line.
    static std::string escaped(const std::string &value) {
        std::string out;
        for (char c : value) {
            if (c == '\\')
                out += "\\\\";
            else if (c == '"')
                out += "\\\"";
            else if (c == '\n')
                out += "\\n";
            else
                out += c;
        }
        return out;
    }

    std::string name_;
    std::string text_;
};

using Label = std::pair<const char *, std::string>;

} // namespace

std::string metricsText(const StationCounts &counts, std::int64_t mqttUnpublished,
                        const std::string &station) {
    // Every series names its station, so that two stations' files in one collector folder, or
    // two stations scraped by one Prometheus, stay two sets of series.
    const Label stationLabel{"station", station};
    Family build("vantrell_build_info", "gauge", "The station's program version; always 1.");
    build.sample({stationLabel, {"version", VANTRELL_VERSION}}, 1);
    Family lastSession("vantrell_last_session_timestamp_seconds", "gauge",
                       "End of the device's last reading session, in seconds since 1970 UTC.");
    Family lastSuccess("vantrell_last_success_timestamp_seconds", "gauge",
                       "End of the device's last reading session that saved its data (X, F or "
                       "A), in seconds since 1970 UTC.");
    const std::string sessionsHelp =
        "Reading sessions of the device, by the letter they left: " + lettersInWords();
    Family sessions("vantrell_sessions_total", "counter", sessionsHelp.c_str());
    Family records("vantrell_records_read_total", "counter",
                   "Logger records the device's sessions have read.");
    Family missed("vantrell_missed_times", "gauge",
                  "Schedule times in a row at which the device saved no data.");
    for (const DeviceCounts &device : counts.devices) {
        const Label deviceLabel{"device", std::to_string(device.device)};
        if (device.lastSession)
            lastSession.sample({stationLabel, deviceLabel}, *device.lastSession);
        if (device.lastGoodRead)
            lastSuccess.sample({stationLabel, deviceLabel}, *device.lastGoodRead);
        for (const auto &[letter, count] : device.sessionsByLetter)
            sessions.sample({stationLabel, deviceLabel, {"letter", letter}}, count);
        records.sample({stationLabel, deviceLabel}, device.recordsRead);
        missed.sample({stationLabel, deviceLabel}, device.missedTimes);
    }
    Family outbox("vantrell_outbox_pending", "gauge",
                  "Mails, uploads and SMS in the outbox waiting for another try.");
    outbox.sample({stationLabel}, counts.outboxPending);
    Family unpublished("vantrell_mqtt_unpublished", "gauge",
                       "Readings the MQTT broker has not acknowledged yet.");
    unpublished.sample({stationLabel}, mqttUnpublished);
    std::string text;
    for (const Family *family :
         {&build, &lastSession, &lastSuccess, &sessions, &records, &missed, &outbox, &unpublished})
        text += family->text();
    return text;
}

UnpublishedCount unpublishedReadings(const ConfSettings &settings) {
    if (!settings.mqtt || !settings.mqtt->on())
        return {};
    return [](Journal &journal) {
        std::int64_t count = 0;
        return journal.unpublishedCount(count) ? std::int64_t(0) : count;
    };
}

MetricsFile::MetricsFile(Station &station, StationJournal &journal, const MetricsSettings &settings,
                         std::string stationName, UnpublishedCount unpublished)
    : station_(station), journal_(journal), stationName_(std::move(stationName)),
      unpublished_(std::move(unpublished)) {
    file_ = settings.textfile.is_relative() ? station.configDir() / settings.textfile
                                            : settings.textfile;
}

void MetricsFile::refresh() {
    // The journal reports its own problems.
    Journal *journal = journal_.journal();
    if (journal == nullptr)
        return;
    StationCounts counts;
    if (auto problem = journal->stationCounts(counts)) {
        report(problem.text);
        return;
    }
    const std::string text =
        metricsText(counts, unpublished_ ? unpublished_(*journal) : 0, stationName_);
    if (text == written_)
        return;
    if (const ConfigError error = replaceFile(file_, text)) {
        report("metrics " + describe(error));
        return;
    }
    written_ = text;
}

void MetricsFile::report(const std::string &problem) {
    if (problemLogged_.first(dayText(station_.clock().localNow()), station_.session.dailyMarkIndex))
        station_.progress().problem("metrics", problem + goesOn);
}

} // namespace vantrell

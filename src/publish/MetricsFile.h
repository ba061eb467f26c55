// The station's counts for Prometheus, as a text file that node_exporter's textfile collector
// serves: when a station falls behind (no good read for hours, missed times piling up, deliveries
// stuck in the outbox), the operator's alerting sees it without a server of ours.
//
// The counters come from the journal, so they go on counting across restarts and pruning. The
// file is replaced whole (a collector never reads half of it), and only when its text changed.
#pragma once

#include "config/ConfFile.h"
#include "config/Station.h"
#include "cycle/OncePerTime.h"
#include "cycle/StationJournal.h"
#include "journal/Journal.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace vantrell {

// The readings the MQTT publisher has not had acknowledged yet, counted on the loop's journal
// connection.
using UnpublishedCount = std::function<std::int64_t(Journal &)>;
// The count the journal keeps while MQTT is on: nothing with it off.
UnpublishedCount unpublishedReadings(const ConfSettings &settings);

// The file's text in the exposition format: HELP and TYPE before each family, one sample per
// series, each labelled with `station`.
std::string metricsText(const StationCounts &counts, std::int64_t mqttUnpublished,
                        const std::string &station);

class MetricsFile {
public:
    // Without `unpublished` (MQTT off) vantrell_mqtt_unpublished stays 0.
    MetricsFile(Station &station, StationJournal &journal, const MetricsSettings &settings,
                std::string stationName, UnpublishedCount unpublished = {});

    // The file, relative paths taken from the configuration folder.
    const std::filesystem::path &file() const { return file_; }
    // At start and after every session: writes the file when its text changed since the last
    // write. A file that cannot be written is a line once per schedule time; the station goes on.
    void refresh();

private:
    void report(const std::string &problem);

    Station &station_;
    StationJournal &journal_;
    std::filesystem::path file_;
    std::string stationName_;
    UnpublishedCount unpublished_;
    std::string written_;
    OncePerTime problemLogged_;
};

} // namespace vantrell

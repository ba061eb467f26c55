// vantrell.conf: the settings of what the station does beyond reading loggers (its journal, the
// outbox, the silent-station alarm). Read once at start. Without the file, or without a
// feature's section, that feature is off and the station works exactly as it always has; inside
// a present section every key is optional with the default written here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

namespace files {
inline constexpr const char *stationConf = "vantrell.conf";
}

struct JournalSettings {
    std::filesystem::path file = "journal.sqlite"; // relative to the configuration folder
    int keepDays = 400;
};

struct OutboxSettings {
    int firstRetrySeconds = 300; // doubles with every retry
    int maxRetrySeconds = 3600;
    int giveUpHours = 72;
    std::uint64_t snapshotLimitBytes = std::uint64_t(1) << 30; // snapshots_max_mb
};

struct SilenceSettings {
    int afterMissed = 2; // 0: off
};

// The name a station goes by on the broker and in metrics when vantrell.conf names none. The
// program's own folder (the service's /var/lib/vantrell, a desktop's ~/.config/vantrell) is the
// host's one station, named after the host; another folder (vantrelld@line2's) is one of
// several on the host, named after the folder.
std::string stationName(const std::filesystem::path &configDir);

// Readings and device states to an MQTT broker. Empty texts take their defaults when the
// settings are read: station = stationName() as a topic level (percent-encoded),
// client_id = "vantrell-<station>". `station` and `topic` are valid topic text as read: values
// that the encoding of topic levels would change are refused, as is a topic starting with "$".
struct MqttSettings {
    std::string url; // mqtt://host[:1883] or mqtts://host[:8883]; empty: off
    std::string station;
    std::string topic = "vantrell";
    std::string clientId;
    std::string username;
    std::filesystem::path passwordFile; // mode 0600 or stricter, checked when read
    std::filesystem::path caFile;
    int qos = 1;
    std::string discovery; // "homeassistant" or empty: none
    bool on() const { return !url.empty(); }
    bool homeAssistantDiscovery() const { return discovery == "homeassistant"; }
};

struct MetricsSettings {
    std::filesystem::path textfile; // Prometheus text file; empty: off
    bool on() const { return !textfile.empty(); }
};

// A device whose session may be mended by another try is read again, minutes later, within the
// same schedule time.
struct RetrySettings {
    int afterMinutes = 15;
    int times = 2; // sessions beyond the first
};

// Loggers whose memory is kept are asked only for the records after the last one saved.
struct CollectSettings {
    bool newRecordsOnly = true;
};

// Commands run after each session and after each time's report; empty: none.
struct HooksSettings {
    std::filesystem::path afterSession;
    std::filesystem::path afterReport;
    int timeoutSeconds = 60;
};

// The read-only status page.
struct WebSettings {
    std::string listen; // host:port; empty: off. Not loopback: needs user and TLS
    std::filesystem::path certFile;
    std::filesystem::path keyFile;
    std::string user;
    std::filesystem::path passwordFile; // mode 0600 or stricter
    bool on() const { return !listen.empty(); }
};

struct ConfSettings {
    std::optional<JournalSettings> journal;
    std::optional<OutboxSettings> outbox;
    std::optional<SilenceSettings> silence;
    std::optional<MqttSettings> mqtt;
    std::optional<MetricsSettings> metrics;
    std::optional<WebSettings> web;
    std::optional<RetrySettings> retry;
    std::optional<CollectSettings> collect;
    std::optional<HooksSettings> hooks;
    // The station's name on the broker and in metrics: [mqtt] station when given, else
    // stationName(), as written (MQTT topics encode it).
    std::string station;

    // Every feature beyond reading that keeps its state in, or reads from, the journal: any of
    // their sections turns it on with its defaults.
    bool journalOn() const {
        return journal || outbox || silence || mqtt || metrics || web || newRecordsOnly();
    }
    bool newRecordsOnly() const { return collect && collect->newRecordsOnly; }
    JournalSettings journalSettings() const { return journal.value_or(JournalSettings{}); }
};

// A file that cannot be used, with where: "vantrell.conf line 7: keep_days: not a whole number
// from 1 to 36500".
struct ConfProblem {
    std::filesystem::path file;
    int line = 0; // 0: the file as a whole (unreadable)
    std::string key;
    std::string reason;
    std::string describe() const;
};

struct ConfRead {
    ConfSettings settings;
    std::optional<ConfProblem> problem;
};

// "host:port", "[::1]:port"; nullopt for anything else.
struct ListenAddress {
    std::string host;
    int port = 0;
    bool loopback() const;
};
std::optional<ListenAddress> listenAddress(std::string_view text);

// mqtt://host[:port] (1883) or mqtts://host[:port] (8883).
struct BrokerUrl {
    std::string host;
    int port = 1883;
    bool tls = false;
};
std::optional<BrokerUrl> brokerUrl(std::string_view url);

// Reads `configDir`/vantrell.conf. A missing file is all features off, no problem. Relative
// file names stay relative to the configuration folder; password files are checked for their
// mode and for being readable, hook commands for being absolute programs only their owner may
// change.
ConfRead readConfFile(const std::filesystem::path &configDir);

} // namespace vantrell

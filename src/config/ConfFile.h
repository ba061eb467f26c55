// vantrell.conf: the settings of what the station does beyond reading loggers (its journal, the
// outbox, the silent-station alarm). Read once at start. Without the file, or without a
// feature's section, that feature is off and the station works exactly as it always has; inside
// a present section every key is optional with the default written here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

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

struct ConfSettings {
    std::optional<JournalSettings> journal;
    std::optional<OutboxSettings> outbox;
    std::optional<SilenceSettings> silence;

    // The outbox and the silent alarm keep their state in the journal: either section turns it
    // on with its defaults.
    bool journalOn() const { return journal || outbox || silence; }
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

// Reads `configDir`/vantrell.conf. A missing file is all features off, no problem.
ConfRead readConfFile(const std::filesystem::path &configDir);

} // namespace vantrell

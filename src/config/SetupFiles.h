// The channel alarm limits of a station and the SMS phone book. Slots 1..10 have a setup file
// each (DeviceSetup/dvcsetup1.xml ...), every other slot shares dvcsetupdflt.xml; a record per
// channel (place 1..32) holds ten values, value p being ChannelSetup field p+1. The phone book
// is one record of ten numbers.
#pragma once

#include "config/ConfigError.h"
#include "config/Tables.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>

namespace vantrell {

class Station;

constexpr int channelsPerLogger = 4;

// The four channel columns of one logger as the setup dialog shows them: the readings-per-day
// figure once, and fields 2..10 per channel (columns[i][f], f = 2..10, for channel i+1).
struct LoggerSetup {
    std::string readingsPerDay;
    std::array<std::array<std::string, setup::fieldCount + 1>, channelsPerLogger> columns{};
};

// What the dialog shows of logger `logger` (1..8) from the channel setup in memory.
LoggerSetup loggerSetup(const ChannelSetup &channels, int logger);

// The setup file of slot `slot`, relative to the configuration folder ("/DeviceSetup/...").
std::string setupFileOf(int slot);

// A channel's absolute limits as a session checks its readings against them; empty where the
// channel's absolute alarm is off.
struct ChannelLimits {
    std::optional<double> minimum;
    std::optional<double> maximum;
};
using LoggerLimits = std::array<ChannelLimits, channelsPerLogger>;

// Where a reading lies against its channel's limits: outside them it raised a channel alarm.
enum class LimitSide { within, below, above };
LimitSide sideOf(const ChannelLimits &limits, double value);

// The limits of every logger of the device in slot `slot` (loggerLimits[k] for logger k+1), read
// from its setup file without the texts and pauses of a session: for the windows and pages that
// show readings beside them, from any thread.
ConfigError readDeviceLimits(const std::filesystem::path &configDir, int slot,
                             std::array<LoggerLimits, maxLoggers> &loggerLimits);

class ChannelSetupFile {
public:
    explicit ChannelSetupFile(Station &station) : station_(station) {}

    // Sets the station's setup file name for slot `slot`, shows it, pauses a second.
    void chooseSetupFile(int slot);
    // Shows the file, pauses two seconds, then merges the file's channels into ChannelSetup:
    // channels without a record keep what they had.
    ConfigError loadChannelSetup();
    // A reading session's own copy of the limits of the station in slot `slot`, with the same
    // texts and pauses as choosing and loading: `into` starts empty, so that no limit of another
    // station is left in it, and stays empty when the file cannot be read.
    ConfigError loadSessionSetup(int slot, ChannelSetup &into);
    // Fields 2..10 of the logger's channels in memory; in the file, every record of those
    // channels gets the readings-per-day figure as value 0 and its column as values 1..9.
    ConfigError saveLoggerSetup(int logger, const LoggerSetup &setup);

private:
    void showChosen(const std::string &fileName);
    ConfigError load(const std::string &fileName, ChannelSetup &into);

    Station &station_;
};

class PhonebookFile {
public:
    explicit PhonebookFile(Station &station) : station_(station) {}

    ConfigError loadPhonebook();
    // The ten boxes into SmsPhonebook 1..10 and into every record of the file.
    ConfigError savePhonebook(const std::array<std::string, phonebookSize> &numbers);

private:
    Station &station_;
};

} // namespace vantrell

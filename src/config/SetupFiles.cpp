#include "config/SetupFiles.h"

#include "config/ConfigFiles.h"
#include "config/Station.h"
#include "config/XMLData.h"
#include "general/Progress.h"
#include "general/Text.h"

#include <algorithm>

namespace vantrell {

namespace {

constexpr const char *openingText = "opening file...";
constexpr const char *loadingText = " loading data...";
constexpr double chooseSeconds = 1.0;
constexpr double loadSeconds = 2.0;
constexpr int slotsWithOwnFile = 10;

// A record has places 0..50 and up to 50 values; value p is field p+1. Only channels 1..32 and
// fields 1..10 are ever read, so the rest stays in the file alone.
constexpr RecordLayout setupLayout{std::pair{0, 50}, std::size_t{50}, false};
constexpr RecordLayout phonebookLayout{};

std::filesystem::path setupPath(const std::filesystem::path &configDir,
                                const std::string &fileName) {
    return configDir / std::filesystem::path(fileName).relative_path();
}

ConfigError readSetup(const std::filesystem::path &file, ChannelSetup &into) {
    return readRecords(file, setupLayout, [&](const XMLData &document) {
        for (const XmlRecord &record : document.records()) {
            if (record.place() < 1 || record.place() > setup::channelCount)
                continue;
            const std::size_t count = std::min<std::size_t>(record.valueCount(), setup::fieldCount);
            for (std::size_t p = 0; p < count; ++p)
                into.at(record.place(), static_cast<int>(p) + 1) = record.value(p);
        }
    });
}

} // namespace

LoggerSetup loggerSetup(const ChannelSetup &channels, int logger) {
    const int first = channelsPerLogger * logger - 3;
    LoggerSetup shown;
    shown.readingsPerDay = channels.at(first, setup::readingsPerDay);
    for (int i = 0; i < channelsPerLogger; ++i)
        for (int f = setup::accelAlarmOn; f <= setup::absMessage; ++f)
            shown.columns.at(i).at(f) = channels.at(first + i, f);
    return shown;
}

std::string setupFileOf(int slot) {
    const std::string name = slot >= 1 && slot <= slotsWithOwnFile
                                 ? files::setupFilePrefix + std::to_string(slot) + ".xml"
                                 : files::defaultSetupFile;
    const std::string separator(1, std::filesystem::path::preferred_separator);
    return separator + files::setupFolder + separator + name;
}

void ChannelSetupFile::chooseSetupFile(int slot) {
    station_.setupFileName = setupFileOf(slot);
    showChosen(station_.setupFileName);
}

ConfigError ChannelSetupFile::loadChannelSetup() {
    return load(station_.setupFileName, station_.channelSetup);
}

ConfigError ChannelSetupFile::loadSessionSetup(int slot, ChannelSetup &into) {
    const std::string fileName = setupFileOf(slot);
    showChosen(fileName);
    into = ChannelSetup{};
    ConfigError error = load(fileName, into);
    if (error.failed())
        into = ChannelSetup{};
    return error;
}

void ChannelSetupFile::showChosen(const std::string &fileName) {
    station_.progress().detail(openingText + fileName);
    station_.wait(chooseSeconds);
}

ConfigError ChannelSetupFile::load(const std::string &fileName, ChannelSetup &into) {
    station_.progress().detail(openingText + fileName + loadingText);
    station_.wait(loadSeconds);
    return readSetup(setupPath(station_.configDir(), fileName), into);
}

ConfigError readDeviceLimits(const std::filesystem::path &configDir, int slot,
                             std::array<LoggerLimits, maxLoggers> &loggerLimits) {
    loggerLimits = {};
    ChannelSetup setup;
    if (ConfigError failed = readSetup(setupPath(configDir, setupFileOf(slot)), setup))
        return failed;
    for (int logger = 1; logger <= maxLoggers; ++logger)
        for (int i = 0; i < channelsPerLogger; ++i) {
            const int c = channelsPerLogger * logger - 3 + i;
            if (valInt(setup.at(c, setup::absAlarmOn)) == 1)
                loggerLimits[std::size_t(logger - 1)][std::size_t(i)] = {
                    val(setup.at(c, setup::absMinimum)), val(setup.at(c, setup::absMaximum))};
        }
    return {};
}

ConfigError ChannelSetupFile::saveLoggerSetup(int logger, const LoggerSetup &setup) {
    const int first = channelsPerLogger * logger - 3;
    for (int i = 0; i < channelsPerLogger; ++i)
        for (int f = setup::accelAlarmOn; f <= setup::absMessage; ++f)
            station_.channelSetup.at(first + i, f) = setup.columns.at(i).at(f);
    return rewriteRecords(setupPath(station_.configDir(), station_.setupFileName), setupLayout,
                          [&](XMLData &document) {
                              for (XmlRecord &record : document.records()) {
                                  const int i = record.place() - first;
                                  if (i < 0 || i >= channelsPerLogger)
                                      continue;
                                  record.setValue(0, setup.readingsPerDay);
                                  for (int f = setup::accelAlarmOn; f <= setup::absMessage; ++f)
                                      record.setValue(static_cast<std::size_t>(f - 1),
                                                      setup.columns.at(i).at(f));
                              }
                          });
}

ConfigError PhonebookFile::loadPhonebook() {
    return readRecords(
        station_.configDir() / files::phonebook, phonebookLayout, [this](const XMLData &document) {
            for (const XmlRecord &record : document.records())
                for (int p = 0; p < phonebookSize; ++p)
                    station_.phonebook.at(p + 1) = record.value(static_cast<std::size_t>(p));
        });
}

ConfigError PhonebookFile::savePhonebook(const std::array<std::string, phonebookSize> &numbers) {
    for (int p = 0; p < phonebookSize; ++p)
        station_.phonebook.at(p + 1) = numbers.at(p);
    return rewriteRecords(station_.configDir() / files::phonebook, phonebookLayout,
                          [&](XMLData &document) {
                              for (XmlRecord &record : document.records())
                                  for (int p = 0; p < phonebookSize; ++p)
                                      record.setValue(static_cast<std::size_t>(p), numbers.at(p));
                          });
}

LimitSide sideOf(const ChannelLimits &limits, double value) {
    if (limits.minimum && value < *limits.minimum)
        return LimitSide::below;
    if (limits.maximum && value > *limits.maximum)
        return LimitSide::above;
    return LimitSide::within;
}

} // namespace vantrell

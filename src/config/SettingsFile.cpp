#include "config/SettingsFile.h"

#include "config/ConfigFiles.h"
#include "config/Station.h"
#include "config/XMLData.h"
#include "general/Text.h"

#include <array>

namespace vantrell {

namespace {

// Places of the settings in the file.
constexpr int smtpHostPlace = 1;
constexpr int dataMailFromPlace = 2;
constexpr int alarmMailFromPlace = 3;
constexpr int reportMailFromPlace = 4;
constexpr int ftpHostPlace = 5;

constexpr RecordLayout settingsLayout{std::pair{smtpHostPlace, ftpHostPlace}, std::nullopt, false};

} // namespace

ConfigError SettingsFile::loadSettings() {
    Settings &settings = station_.settings;
    const std::array<std::pair<int, std::string *>, 5> targets{{
        {smtpHostPlace, &settings.smtpHost},
        {dataMailFromPlace, &settings.dataMailFrom},
        {alarmMailFromPlace, &settings.alarmMailFrom},
        {reportMailFromPlace, &settings.reportMailFrom},
        {ftpHostPlace, &settings.ftpHost},
    }};
    return readRecords(station_.configDir() / files::settings, settingsLayout,
                       [&](XMLData &document) {
                           for (const auto &[place, target] : targets) {
                               const XmlRecord *record = document.firstRecord(place);
                               const std::string text = record ? trim(record->value(0)) : "";
                               if (!text.empty())
                                   *target = text;
                           }
                       });
}

} // namespace vantrell

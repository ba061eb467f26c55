// settings.xml: the station-wide values that no dialog edits (SMTP host, mail senders, FTP host
// offered by default), one record per setting in the positional layout, place = setting number.
#pragma once

#include "config/ConfigError.h"

namespace vantrell {

class Station;

class SettingsFile {
public:
    explicit SettingsFile(Station &station) : station_(station) {}

    // Settings whose record is missing or empty keep the values the station had.
    ConfigError loadSettings();

private:
    Station &station_;
};

} // namespace vantrell

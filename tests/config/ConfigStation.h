// A Station over a configuration folder of its own (removed afterwards), in virtual time, and
// the file helpers the tests of the stored files share.
#pragma once

#include "RecordingDialogs.h"
#include "RecordingProgress.h"
#include "TempFolder.h"
#include "config/DeviceKeys.h"
#include "config/Station.h"
#include "sim/SimPort.h"
#include "sim/World.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace vantrell::test {

using TempFolder = testing::TempFolder;

inline std::string readBytes(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void writeBytes(const std::filesystem::path &file, const std::string &bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// `text` with the first (or every) `from` replaced by `to`.
inline std::string replaced(std::string text, const std::string &from, const std::string &to,
                            bool every = false) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
        if (!every)
            break;
    }
    return text;
}

// Fields of a device record by the names vantrelld's commands use, as blank-separated
// key=value words: "savingMode=0 forwardEnabled=1".
inline void setFields(DeviceRecord &record, const std::string &settings) {
    std::istringstream words(settings);
    for (std::string word; words >> word;) {
        const std::size_t equals = word.find('=');
        const DeviceKey *key = findDeviceKey(word.substr(0, equals));
        if (key == nullptr)
            throw std::invalid_argument("no device key: " + word);
        record[key->field] = word.substr(equals + 1);
    }
}

// Names in a folder, to see that a failed save left no temporary file behind.
inline std::size_t entryCount(const std::filesystem::path &folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(folder))
        ++n;
    return n;
}

// Records as (place, values); the file has one record a line, <r place="p"><v>..</v>...</r>.
using Records = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Records written as "place:value,value;place:value": "4" is a record without values, "4:" one
// with a single empty value.
inline Records records(const std::string &notation) {
    Records out;
    std::istringstream all(notation);
    for (std::string record; std::getline(all, record, ';');) {
        const std::size_t colon = record.find(':');
        auto &values = out.emplace_back(record.substr(0, colon), std::vector<std::string>{}).second;
        std::istringstream list(colon == std::string::npos ? "" : record.substr(colon + 1) + ",");
        for (std::string value; std::getline(list, value, ',');)
            values.push_back(value);
    }
    return out;
}

inline std::string positionalFile(const Records &records) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n";
    for (const auto &[place, values] : records) {
        text += "<r place=\"" + place + "\">";
        for (const std::string &v : values)
            text += "<v>" + v + "</v>";
        text += "</r>\n";
    }
    return text + "</root>\n";
}

struct ConfigStation {
    explicit ConfigStation(LocalDateTime now = {2026, 2, 3, 9, 5, 0}) : world(now) {}

    std::filesystem::path file(const std::string &name) const { return folder / name; }
    void write(const std::string &name, const std::string &bytes) const {
        writeBytes(file(name), bytes);
    }
    std::string read(const std::string &name) const { return readBytes(file(name)); }

    TempFolder folder;
    sim::World world;
    sim::VirtualEventPump pump{world};
    sim::SimPort port{world};
    RecordingProgress progress;
    RecordingDialogs dialogs;
    Station station{{world.clock(), pump, port, progress, dialogs}, folder.path()};
};

} // namespace vantrell::test

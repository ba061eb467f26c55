// The data file of a logger: fixed 62-byte records of 8-bit Windows-1252 text, each a line
// ended by a carriage return and padded with blanks (no line feed). Two header records (names,
// units), record 3 never written, data from record 4 on. In saving mode 0 every session makes
// a new file named after the logger and the moment; in saving mode 1 all sessions append to one
// file named after the serial number, continuing its running numbers. The read-back loads a
// whole file into the ReadingTable for the acceleration alarm.
#pragma once

#include "config/SessionRequest.h"
#include "general/Line.h"
#include "general/Text.h"
#include "loggerdata/LoggerResult.h"
#include "loggerdata/SavedUpTo.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

struct LocalDateTime;

// A data record, offsets 0-based (the read-back sees every line after the first shifted one
// place right, behind the previous record's padding blank):
//   0      7 8       16 17         28 29     36 37     44 45     52 53     60 61
//   00001  ; 03-02-26 ; 09:05:00    ; +0023.5 ; +0012.0 ;         ;         CR blank
// The rain logger's 15-character rain text takes 37-51 in place of channels 2 and 3.
namespace dataRecord {
inline constexpr std::size_t length = 62;
inline constexpr Field runningNumber{0, 7};
inline constexpr Field date{8, 8};
inline constexpr Field time{17, 11}; // the time and three blanks
// The value column of channel c (1..4): 29, 37, 45, 53, seven characters each.
constexpr Field value(int channel) {
    return {29 + 8 * std::size_t(channel - 1), 7};
}
inline constexpr Field rain{37, 15};
// The records before the first data record: names, units, and one never written.
inline constexpr std::uint64_t headerRecords = 3;
} // namespace dataRecord

// "KV12_0905_030226.dat" (new file per session) or "KV12345678.dat" (one file, appended). A new
// file whose name is taken gets a numbered one ("KV12_0905_030226_2.dat", DataFileIo.h).
std::string dataFileName(std::string_view serial, bool appendMode, const LocalDateTime &now);
// A name that stays inside its folder and means what it shows: not empty, no separator, not "."
// or "..", no control character.
bool isPlainFileName(std::string_view name);
// Where a device's data folder text points: a relative one starts in the configuration folder.
std::filesystem::path dataFolderPath(const std::filesystem::path &configDir,
                                     std::string_view folder);

// The two header records, 62 bytes each.
std::string namesRecord(const LoggerParameters &parameters);
std::string unitsRecord(const LoggerParameters &parameters);
// Five digits and two blanks; a larger number fills the seven places.
std::string runningNumberText(std::uint64_t number);
// Value texts that are empty or not numbers become blanks of their column's width.
void blankNonNumeric(Reading &reading, int loggerModel);
// One data line, without its carriage return.
std::string dataLine(std::uint64_t runningNumber, const Reading &reading, int loggerModel);
// A line as a full record: carriage return, blank padding.
std::string asRecord(std::string_view line);
void appendRecord(std::string &out, std::string_view line);

// What the read-back takes from a data file.
struct DataFileContents {
    bool hasUnits = false;
    OneBased<std::string, 4> units{}; // channels 1..4
    std::vector<Reading> readings;    // every line after the units line
};
DataFileContents parseDataFile(std::string_view bytes);
// The same into `out`, reusing the storage of its readings.
void parseDataFile(std::string_view bytes, DataFileContents &out);

class DataFile {
public:
    DataFile(Line &line, std::filesystem::path configDir)
        : line_(line), configDir_(std::move(configDir)) {}

    // Runs the memory transfer of `logger` (its parameter set already read) for the requested
    // device and saves it in its data file: fills the logger's records, readings, saved and path.
    // With `saved`, the transfer and the file take only the records after those saved.
    void transferAndSave(SessionRequest &request, LoggerResult &logger,
                         const std::optional<SavedUpTo> &saved = std::nullopt);
    // The whole file `logger` wrote, as the acceleration check compares it: its transfer's
    // readings keep their full precision. Empty when it wrote none or the file cannot be read.
    // The storage is this object's and is reused: a long history is read back every session.
    const std::vector<Reading> &readBackDataFile(LoggerResult &logger);

    // The steps around the transfer. A blank data folder setting of the device becomes the
    // program's own folder, which the request then names; dataPathFor gives the path meant for
    // `logger` of that device, empty when the name is refused (and says why);
    // saveReadings writes the logger's readings there, or under a numbered name when a new
    // file's name is taken, and gives the path written (empty when none was).
    void fillBlankDataFolder(SessionRequest &request);
    [[nodiscard]] std::string dataPathFor(const DeviceRecord &device, int logger) const;
    std::string saveReadings(const DeviceRecord &device, LoggerResult &logger,
                             const std::string &path);

private:
    void saveFailed(const std::string &path, const std::string &reason);

    Line &line_;
    std::filesystem::path configDir_;
    std::vector<Reading> history_;
};

} // namespace vantrell

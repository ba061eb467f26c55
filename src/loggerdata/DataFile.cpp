// Data file writer and read-back.
#include "loggerdata/DataFile.h"

#include "general/Clock.h"
#include "general/Codepage.h"
#include "general/Progress.h"
#include "general/Text.h"
#include "loggerdata/Conversions.h"
#include "loggerdata/DataFileIo.h"
#include "loggerdata/MemoryTransfer.h"

#include <algorithm>
#include <charconv>

namespace vantrell {

namespace fs = std::filesystem;

namespace {

constexpr const char *savingBlock = "Saving block no. ";
constexpr const char *savedSuccessfully = " saved succesfully...";
constexpr const char *openingDataFile = "opening data file...";
constexpr const char *closingDataFile = "closing data file...";
constexpr const char *notSaved = " not saved: ";
constexpr const char *nameRefused = "Data file name refused (not a plain file name): ";
constexpr const char *serialRefused =
    "Data file name refused (control characters in the serial number of logger ";
constexpr const char *nothingSaved = "...nothing saved";
constexpr const char *cannotRead = "data file cannot be read...";
constexpr const char *nothingToReadBack = "no data file to read back: none was written";

constexpr const char *namesLead = "00000  ;  DATE  ;    TIME   ;";
constexpr const char *unitsLead = "00000  ;        ;           ;";
constexpr char separator = ';';
constexpr const char *timeGap = "   ";
// The running number's digits (then two blanks), and the most the column holds.
constexpr int runningDigits = 5;
constexpr std::uint64_t runningColumnLimit = 10'000'000;
// Characters of a line that the append mode shows: running number, date and time.
constexpr std::size_t shownLineLead = 29;

bool isRainColumn(int loggerModel, int channel) {
    return loggerModel == 5 && channel == 2;
}

// Text cut to `width` or padded with blanks, appended in place.
void appendFitted(std::string &out, std::string_view text, std::size_t width) {
    out.append(text.substr(0, width));
    if (text.size() < width)
        out.append(width - text.size(), ' ');
}

std::string headerRecord(const char *lead, const LoggerParameters &p,
                         const std::string ChannelParameters::*text) {
    std::string line = lead;
    for (int c = 1; c <= 4; ++c) {
        if (c > 1)
            line += separator;
        const ChannelParameters &ch = p.channel(c);
        appendFitted(line, ch.enabled == 1 ? utf8ToWindows1252(ch.*text) : std::string(),
                     dataRecord::value(c).length);
    }
    return asRecord(line);
}

std::string_view trimmedView(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool isAscii(std::string_view bytes) {
    unsigned char any = 0;
    for (char c : bytes)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

// A line of plain ASCII, the usual case, needs no conversion field by field.
void assignText(std::string &out, std::string_view bytes, bool ascii) {
    if (ascii)
        out.assign(bytes);
    else
        out = windows1252ToUtf8(bytes);
}

std::string_view fieldOf(std::string_view line, Field column) {
    // Behind the previous record's padding blank every column sits one place to the right.
    return cut(line, {column.offset + 1, column.length});
}

void readLine(std::string_view line, Reading &r, bool ascii) {
    r.fullValues = {};
    assignText(r.date, fieldOf(line, dataRecord::date), ascii);
    assignText(r.time, trimmedView(fieldOf(line, dataRecord::time)), ascii);
    for (int c = 1; c <= 4; ++c) {
        const std::string_view value = fieldOf(line, dataRecord::value(c));
        if (trimmedView(value) == ";")
            r.values[c].clear();
        else
            assignText(r.values[c], value, ascii);
    }
}

// A value of this transfer whose text lost digits in its column ("+12346." for 12345.8).
struct WideValue {
    std::size_t record; // 0-based, in the transfer
    int channel;
    std::string text;
    double value;
};

std::vector<WideValue> wideValues(const std::vector<Reading> &transfer) {
    std::vector<WideValue> wide;
    for (std::size_t k = 0; k < transfer.size(); ++k)
        for (int c = 1; c <= 4; ++c) {
            const Reading &r = transfer[k];
            if (r.fullValues[c] && *r.fullValues[c] != readingValue(r.values[c]))
                wide.push_back({k, c, r.values[c], *r.fullValues[c]});
        }
    return wide;
}

// The transfer's records are the last lines of the file it wrote, before the line of the last
// record's padding; a value goes back only to the text it was written as.
void restoreWideValues(std::vector<Reading> &history, std::size_t transferred,
                       const std::vector<WideValue> &wide) {
    if (history.size() <= transferred)
        return;
    const std::size_t first = history.size() - 1 - transferred;
    for (const WideValue &w : wide) {
        Reading &r = history[first + w.record];
        if (r.values[w.channel] == w.text)
            r.fullValues[w.channel] = w.value;
    }
}

} // namespace

std::string dataFileName(std::string_view serial, bool appendMode, const LocalDateTime &now) {
    if (appendMode)
        return std::string(serial) + ".dat";
    return std::string(cut(serial, {0, 4})) + "_" + zeroPad(now.hour, 2) + zeroPad(now.minute, 2) +
           "_" + zeroPad(now.day, 2) + zeroPad(now.month, 2) + zeroPad(now.year % 100, 2) + ".dat";
}

bool isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string_view::npos && !hasControlCharacter(name);
}

std::string namesRecord(const LoggerParameters &parameters) {
    return headerRecord(namesLead, parameters, &ChannelParameters::name);
}

std::string unitsRecord(const LoggerParameters &parameters) {
    return headerRecord(unitsLead, parameters, &ChannelParameters::unitText);
}

// Beyond 99999 the number takes the blanks' places; beyond seven digits only its last seven
// are kept, so the record never grows.
std::string runningNumberText(std::uint64_t number) {
    const std::size_t width = dataRecord::runningNumber.length;
    const std::size_t minimumDigits = number < runningColumnLimit ? runningDigits : width;
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number % runningColumnLimit).ptr;
    const auto count = static_cast<std::size_t>(end - digits);
    std::string text(count < minimumDigits ? minimumDigits - count : 0, '0');
    text.append(digits, count);
    text.resize(width, ' ');
    return text;
}

void blankNonNumeric(Reading &reading, int loggerModel) {
    for (int c = 1; c <= 4; ++c) {
        if (!isNumericText(reading.values[c]))
            reading.values[c].assign(isRainColumn(loggerModel, c) ? dataRecord::rain.length
                                                                  : dataRecord::value(c).length,
                                     ' ');
    }
}

std::string dataLine(std::uint64_t runningNumber, const Reading &reading, int loggerModel) {
    std::string line;
    line.reserve(dataRecord::length);
    line += runningNumberText(runningNumber);
    line += separator;
    appendFitted(line, reading.date, dataRecord::date.length);
    line += separator;
    // An empty record has no time at all: its line is eight characters shorter.
    if (!reading.time.empty())
        appendFitted(line, reading.time, dataRecord::date.length);
    line += timeGap;
    line += separator;
    appendFitted(line, reading.values[1], dataRecord::value(1).length);
    line += separator;
    if (loggerModel == 5) {
        appendFitted(line, reading.values[2], dataRecord::rain.length);
    } else {
        appendFitted(line, reading.values[2], dataRecord::value(2).length);
        line += separator;
        appendFitted(line, reading.values[3], dataRecord::value(3).length);
    }
    line += separator;
    appendFitted(line, reading.values[4], dataRecord::value(4).length);
    return line;
}

void appendRecord(std::string &out, std::string_view line) {
    const std::size_t start = out.size();
    out.append(line.substr(0, dataRecord::length - 2));
    out += '\r';
    out.resize(start + dataRecord::length, ' ');
}

std::string asRecord(std::string_view line) {
    std::string record;
    appendRecord(record, line);
    return record;
}

DataFileContents parseDataFile(std::string_view bytes) {
    DataFileContents out;
    parseDataFile(bytes, out);
    return out;
}

void parseDataFile(std::string_view bytes, DataFileContents &out) {
    // Every line but the last ends at a carriage return.
    const auto mostLines =
        static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\r')) + 1;
    out.readings.resize(mostLines > 2 ? mostLines - 2 : 0);
    std::size_t lineNumber = 0;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t end = std::min(bytes.find('\r', pos), bytes.size());
        const std::string_view line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (pos < bytes.size() && bytes[pos] == '\n')
            ++pos;
        ++lineNumber;
        const bool ascii = isAscii(line);
        if (lineNumber == 2) {
            for (int c = 1; c <= 4; ++c)
                assignText(out.units[c], trimmedView(fieldOf(line, dataRecord::value(c))), ascii);
        } else if (lineNumber > 2) {
            readLine(line, out.readings[lineNumber - 3], ascii);
        }
    }
    out.hasUnits = lineNumber >= 2;
    out.readings.resize(lineNumber > 2 ? lineNumber - 2 : 0);
}

void DataFile::transferAndSave(SessionRequest &request, LoggerResult &logger,
                               const std::optional<SavedUpTo> &saved) {
    logger.path.clear();
    logger.saved = MemorySaved::notWritten;
    fillBlankDataFolder(request);
    const std::string path = dataPathFor(request.record, logger.position);
    if (path.empty())
        return;
    if (!MemoryTransfer(line_).transferMemory(logger, saved)) {
        logger.saved = MemorySaved::transferIncomplete;
        return;
    }
    logger.path = saveReadings(request.record, logger, path);
    logger.saved = logger.path.empty() ? MemorySaved::notWritten : MemorySaved::inFile;
}

// A relative data folder starts in the configuration folder, whatever folder the program was
// started from; a blank one is the configuration folder itself.
std::filesystem::path dataFolderPath(const std::filesystem::path &configDir,
                                     std::string_view folder) {
    std::error_code ec;
    const fs::path configFolder = fs::absolute(configDir, ec);
    const fs::path base = ec ? configDir : configFolder;
    const fs::path path = trim(folder);
    if (path.empty())
        return base;
    return path.is_relative() ? base / path : path;
}

// A blank data folder means the program's own folder, which is the configuration folder.
void DataFile::fillBlankDataFolder(SessionRequest &request) {
    std::string &folder = request.record[field::dataDirectory];
    if (trim(folder).empty())
        folder = dataFolderPath(configDir_, "").string();
}

std::string DataFile::dataPathFor(const DeviceRecord &device, int logger) const {
    const fs::path folder = dataFolderPath(configDir_, device[field::dataDirectory]);
    const std::string serial = device.serialNumber(logger);
    // The name must not carry a line break or an escape into a log, a mail or an FTP command.
    if (hasControlCharacter(serial)) {
        line_.progress().detail(serialRefused + std::to_string(logger) + ")" + nothingSaved);
        return {};
    }
    const std::string name =
        dataFileName(serial, device.flag(field::savingMode), line_.clock().localNow());
    if (!isPlainFileName(name)) {
        line_.progress().detail(nameRefused + name + nothingSaved);
        return {};
    }
    return (folder / name).string();
}

std::string DataFile::saveReadings(const DeviceRecord &device, LoggerResult &logger,
                                   const std::string &path) {
    const bool append = device.flag(field::savingMode);
    const int model = logger.parameters.loggerModel;

    const fs::path intended = path;
    DataFileWriter file;
    if (std::string error = file.openFolder(intended.parent_path()); !error.empty()) {
        saveFailed(path, error);
        return {};
    }
    const std::string name = intended.filename().string();
    if (std::string error = append ? file.openForAppend(name) : file.createNew(name);
        !error.empty()) {
        saveFailed(file.path().string(), error);
        return {};
    }
    const std::uint64_t length = file.length();

    std::string bytes;
    std::vector<Reading> &readings = logger.readings;
    bytes.reserve((readings.size() + dataRecord::headerRecords) * dataRecord::length);
    std::uint64_t base = dataRecord::headerRecords;
    if (length == 0) {
        bytes += namesRecord(logger.parameters);
        bytes += unitsRecord(logger.parameters);
        bytes.append(dataRecord::length, '\0');
    } else {
        base = length / dataRecord::length;
    }
    const std::uint64_t numberBase =
        append && base > dataRecord::headerRecords ? base - dataRecord::headerRecords : 0;
    for (std::size_t k = 1; k <= readings.size(); ++k) {
        Reading &reading = readings[k - 1];
        const std::string number = std::to_string(k);
        line_.progress().detail(savingBlock + number);
        blankNonNumeric(reading, model);
        const std::string line = dataLine(k + numberBase, reading, model);
        appendRecord(bytes, line);
        if (append)
            line_.progress().detail(savingBlock + number + " " +
                                    windows1252ToUtf8(cut(line, {0, shownLineLead})));
    }

    const std::uint64_t offset = length == 0 ? 0 : base * dataRecord::length;
    if (std::string error = file.write(offset, bytes); !error.empty()) {
        saveFailed(file.path().string(), error);
        return {};
    }
    std::string written = file.path().string();
    line_.progress().detail(written + savedSuccessfully);
    line_.wait(1.0);
    return written;
}

// The memory was read but is not on disk: nothing that depends on a written file (erase,
// read-back, acceleration alarms, forwarding) may go on, and no path is left for them.
void DataFile::saveFailed(const std::string &path, const std::string &reason) {
    line_.progress().failure(path + notSaved + reason);
}

const std::vector<Reading> &DataFile::readBackDataFile(LoggerResult &logger) {
    history_.clear();
    const std::string &path = logger.path;
    if (path.empty()) {
        line_.progress().detail(nothingToReadBack);
        return history_;
    }
    line_.progress().detail(openingDataFile + path);
    line_.wait(1.0);
    line_.wait(1.0);
    std::string bytes;
    if (const std::string error = readDataFile(path, bytes); !error.empty()) {
        line_.progress().detail(cannotRead + path + ": " + error);
        return history_;
    }
    // The transfer that wrote the file keeps its readings at full precision: they outlive the
    // file's columns.
    DataFileContents contents;
    contents.readings.swap(history_);
    parseDataFile(bytes, contents);
    contents.readings.swap(history_);
    restoreWideValues(history_, logger.readings.size(), wideValues(logger.readings));
    if (contents.hasUnits)
        for (int c = 1; c <= 4; ++c)
            logger.parameters.channel(c).unitText = contents.units[c];
    line_.progress().detail(closingDataFile + path);
    line_.wait(1.0);
    line_.wait(1.0);
    return history_;
}

} // namespace vantrell

// Data file writer and read-back.
#include "loggerdata/DataFile.h"

#include "general/Clock.h"
#include "general/Codepage.h"
#include "general/Progress.h"
#include "general/Text.h"
#include "loggerdata/Conversions.h"
#include "loggerdata/Readings.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace vantrell {

namespace fs = std::filesystem;

namespace {

constexpr const char *savingBlock = "Saving block no. ";
constexpr const char *savedSuccessfully = " saved succesfully...";
constexpr const char *openingDataFile = "opening data file...";
constexpr const char *closingDataFile = "closing data file...";
constexpr const char *notSaved = " not saved: ";
constexpr const char *nameRefused = "Data file name refused (not a plain file name): ";
constexpr const char *nothingSaved = "...nothing saved";
constexpr const char *cannotRead = "data file cannot be read...";
constexpr const char *folderMissing = "the data folder does not exist";
constexpr const char *alreadyExists = "a file of that name exists already";

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
        const ChannelParameters &ch = p.channels[c];
        appendFitted(line, ch.enabled == 1 ? utf8ToWindows1252(ch.*text) : std::string(),
                     dataRecord::value[c].width);
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

std::string_view fieldOf(std::string_view line, dataRecord::Column column) {
    // Behind the previous record's padding blank every column sits one place to the right.
    return mid(line, column.position + 1, column.width);
}

void readLine(std::string_view line, Reading &r, bool ascii) {
    assignText(r.date, fieldOf(line, dataRecord::date), ascii);
    assignText(r.time, trimmedView(fieldOf(line, dataRecord::time)), ascii);
    for (int c = 1; c <= 4; ++c) {
        const std::string_view value = fieldOf(line, dataRecord::value[c]);
        if (trimmedView(value) == ";")
            r.values[c].clear();
        else
            assignText(r.values[c], value, ascii);
    }
}

bool readWholeFile(const std::string &path, std::string &bytes) {
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    const auto size = fs::file_size(path, ec);
    if (ec)
        return false;
    bytes.resize(size);
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return !in.bad();
}

// Writes `bytes` at `offset`; a failed write leaves the file as it was before (an appended
// file is cut back to its old length, a new file is removed). Returns what went wrong, or
// nothing.
std::string writeAt(const fs::path &path, bool existed, std::uintmax_t oldLength,
                    std::uint64_t offset, std::string_view bytes) {
    std::FILE *file = std::fopen(path.c_str(), existed ? "r+b" : "wb");
    if (file == nullptr)
        return std::strerror(errno);
    bool ok = fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
              std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
              std::fflush(file) == 0;
    int error = ok ? 0 : errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok)
        return {};
    std::error_code ec;
    if (existed)
        fs::resize_file(path, oldLength, ec);
    else
        fs::remove(path, ec);
    return error != 0 ? std::strerror(error) : "write failed";
}

} // namespace

std::string dataFileName(std::string_view serial, bool appendMode, const LocalDateTime &now) {
    if (appendMode)
        return std::string(serial) + ".dat";
    return std::string(mid(serial, 1, 4)) + "_" + zeroPad(now.hour, 2) + zeroPad(now.minute, 2) +
           "_" + zeroPad(now.day, 2) + zeroPad(now.month, 2) + zeroPad(now.year % 100, 2) + ".dat";
}

bool isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
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
    const std::size_t width = dataRecord::runningNumber.width;
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
            reading.values[c].assign(isRainColumn(loggerModel, c) ? dataRecord::rain.width
                                                                  : dataRecord::value[c].width,
                                     ' ');
    }
}

std::string dataLine(std::uint64_t runningNumber, const Reading &reading, int loggerModel) {
    std::string line;
    line.reserve(dataRecord::length);
    line += runningNumberText(runningNumber);
    line += separator;
    appendFitted(line, reading.date, dataRecord::date.width);
    line += separator;
    // An empty record has no time at all: its line is eight characters shorter.
    if (!reading.time.empty())
        appendFitted(line, reading.time, dataRecord::date.width);
    line += timeGap;
    line += separator;
    appendFitted(line, reading.values[1], dataRecord::value[1].width);
    line += separator;
    if (loggerModel == 5) {
        appendFitted(line, reading.values[2], dataRecord::rain.width);
    } else {
        appendFitted(line, reading.values[2], dataRecord::value[2].width);
        line += separator;
        appendFitted(line, reading.values[3], dataRecord::value[3].width);
    }
    line += separator;
    appendFitted(line, reading.values[4], dataRecord::value[4].width);
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
                assignText(out.units[c], trimmedView(fieldOf(line, dataRecord::value[c])), ascii);
        } else if (lineNumber > 2) {
            readLine(line, out.readings[lineNumber - 3], ascii);
        }
    }
    out.hasUnits = lineNumber >= 2;
    out.readings.resize(lineNumber > 2 ? lineNumber - 2 : 0);
}

void DataFile::writeDataFile() {
    LoggerData &data = station_.data;
    data.loggerLimitAlarm = false;
    data.dataFileWritten = false;
    prepareDataPath();
    if (data.dataFilePath.empty()) {
        data.transferComplete = false;
        return;
    }
    Readings(station_).transferMemory();
    if (data.transferComplete)
        saveReadings();
}

// A blank data folder means the program's own folder, which is the configuration folder.
void DataFile::prepareDataPath() {
    station_.data.dataFilePath.clear();
    DeviceRecord &device = station_.cycleRecord();
    std::string &folder = device[field::dataDirectory];
    if (trim(folder).empty())
        folder = station_.configDir().string();
    const std::string name =
        dataFileName(device.serialNumber(station_.session.loggerIndex),
                     device.flag(field::savingMode), station_.clock().localNow());
    if (!isPlainFileName(name)) {
        station_.progress().report(nameRefused + name + nothingSaved);
        return;
    }
    station_.data.dataFilePath = (fs::path(folder) / name).string();
}

void DataFile::saveReadings() {
    LoggerData &data = station_.data;
    const fs::path path = data.dataFilePath;
    const bool append = station_.cycleRecord().flag(field::savingMode);
    const int model = station_.logger.loggerModel;
    data.dataFileWritten = false;

    std::error_code ec;
    if (!fs::is_directory(path.parent_path(), ec)) {
        saveFailed(folderMissing);
        return;
    }
    const bool existed = fs::exists(path, ec);
    const std::uintmax_t length = existed ? fs::file_size(path, ec) : 0;
    if (ec) {
        saveFailed(ec.message());
        return;
    }
    // A new-file name met again (two sessions in one minute) must not overwrite the first.
    if (!append && length > 0) {
        saveFailed(alreadyExists);
        return;
    }

    std::string bytes;
    bytes.reserve((data.readingTable.size() + dataRecord::headerRecords) * dataRecord::length);
    std::uint64_t base = dataRecord::headerRecords;
    if (length == 0) {
        bytes += namesRecord(station_.logger);
        bytes += unitsRecord(station_.logger);
        bytes.append(dataRecord::length, '\0');
    } else {
        base = length / dataRecord::length;
    }
    const std::uint64_t numberBase =
        append && base > dataRecord::headerRecords ? base - dataRecord::headerRecords : 0;
    for (std::size_t k = 1; k <= data.readingTable.size(); ++k) {
        Reading &reading = data.readingTable[k - 1];
        const std::string number = std::to_string(k);
        station_.progress().report(savingBlock + number);
        blankNonNumeric(reading, model);
        const std::string line = dataLine(k + numberBase, reading, model);
        appendRecord(bytes, line);
        if (append)
            station_.progress().report(savingBlock + number + " " +
                                       windows1252ToUtf8(mid(line, 1, shownLineLead)));
    }

    const std::uint64_t offset = length == 0 ? 0 : base * dataRecord::length;
    const std::string error = writeAt(path, existed, length, offset, bytes);
    if (!error.empty()) {
        saveFailed(error);
        return;
    }
    data.dataFileWritten = true;
    station_.progress().report(data.dataFilePath + savedSuccessfully);
    station_.wait(1.0);
}

// The memory was read but is not on disk: nothing that depends on a complete transfer (erase,
// forwarding) may go on.
void DataFile::saveFailed(const std::string &reason) {
    station_.data.dataFileWritten = false;
    station_.data.transferComplete = false;
    station_.progress().report(station_.data.dataFilePath + notSaved + reason);
}

void DataFile::readBackDataFile() {
    LoggerData &data = station_.data;
    const std::string path = data.dataFilePath;
    station_.progress().report(openingDataFile + path);
    station_.wait(1.0);
    station_.wait(1.0);
    std::string bytes;
    if (!readWholeFile(path, bytes)) {
        data.readingTable.clear();
        data.readBackCount = 0;
        station_.progress().report(cannotRead + path);
        return;
    }
    // The table's storage is reused: a long history is read back every session.
    DataFileContents contents;
    contents.readings.swap(data.readingTable);
    parseDataFile(bytes, contents);
    contents.readings.swap(data.readingTable);
    if (contents.hasUnits)
        for (int c = 1; c <= 4; ++c)
            station_.logger.channels[c].unitText = contents.units[c];
    data.readBackCount = static_cast<int>(data.readingTable.size());
    station_.progress().report(closingDataFile + path);
    station_.wait(1.0);
    station_.wait(1.0);
}

} // namespace vantrell

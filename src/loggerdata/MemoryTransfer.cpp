// Memory transfer and record decoding.
#include "loggerdata/MemoryTransfer.h"

#include "general/Progress.h"
#include "general/SerialPort.h"
#include "general/Text.h"
#include "loggerdata/Conversions.h"

#include <algorithm>
#include <charconv>

namespace vantrell {

namespace {

constexpr const char *transferringBlock = "Trasferring from device block no. ";
constexpr const char *processingBlock = "Processing block no. ";
constexpr const char *transferPortFailed = "Transfer failed: the port cannot be opened";
constexpr const char *transferNoAnswer = "Transfer failed: no answer from device";
constexpr const char *transferStopped = "Transfer interrupted at block no. ";
constexpr const char *transferGarbled = "Transfer failed: garbled data at block no. ";
constexpr const char *pointerBelow = "Memory pointer ";
constexpr const char *belowTheSaved = " below the ";
constexpr const char *savedReadingAll = " saved: reading the whole memory";
constexpr const char *notAfterSaved =
    "First new record not after the last one saved: reading the whole memory";
constexpr const char *nothingNew = "No new records since the last one saved";

// The logger answers its attention byte within this time, or not at all.
constexpr double attentionLimit = 3.0;
// Silence inside the stream that ends the transfer.
constexpr double recordSilenceLimit = 5.0;
// Sampling codes 0, 1, 2 are 10, 20 and 30 seconds: several records share a minute.
constexpr int fastSamplingCodes = 3;
constexpr int secondsStepPerCode = 10;
constexpr int secondsPerMinute = 60;
constexpr int rainDecimals = 1;
// The request addresses records with four hex digits.
constexpr std::size_t maxRequestable = 0xFFFF;
constexpr int pointerDigits = 5;

unsigned byteAt(std::string_view record, std::size_t offset) {
    return static_cast<unsigned char>(record[offset]);
}

int wordAt(std::string_view record, std::size_t offset) {
    return decodeRawWord(static_cast<unsigned char>(record[offset]),
                         static_cast<unsigned char>(record[offset + 1]));
}

unsigned long long unsignedWordAt(std::string_view record, std::size_t offset) {
    return byteAt(record, offset) * 256ull + byteAt(record, offset + 1);
}

// Two-digit texts are built by hand: a full memory holds tens of thousands of records.
void appendHex2(std::string &out, unsigned value) {
    static constexpr char digits[] = "0123456789ABCDEF";
    out += digits[(value >> 4) & 0xF];
    out += digits[value & 0xF];
}

void appendDecimal(std::string &out, unsigned value, int minimumDigits) {
    char buffer[16];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(std::size_t(std::max<std::ptrdiff_t>(minimumDigits - (end - buffer), 0)), '0');
    out.append(buffer, end);
}

std::string dateOf(std::string_view record) {
    const unsigned dayByte = byteAt(record, memoryRecord::dayAndYearTens);
    const unsigned monthByte = byteAt(record, memoryRecord::monthAndYearUnits);
    std::string date;
    appendHex2(date, dayByte & 0x3F);
    date += '-';
    appendDecimal(date, monthByte & 0x0F, 2);
    date += '-';
    appendDecimal(date, dayByte >> 6, 1);
    appendDecimal(date, monthByte >> 4, 1);
    date.resize(8, ' ');
    return date;
}

// Year, month and day ahead of the time, so that two stamps compare as texts; empty without a
// date.
std::string sortableStamp(std::string_view date, std::string_view time) {
    if (date.size() < 8)
        return {};
    std::string stamp(date.substr(6, 2));
    stamp += date.substr(3, 2);
    stamp += date.substr(0, 2);
    stamp += time;
    return stamp;
}

// A memory that follows the one saved from goes on later than its last record; an empty record
// has no time to go on with.
bool followsSaved(const Reading &first, const SavedUpTo &saved) {
    const std::string last = sortableStamp(saved.lastDate, saved.lastTime);
    return last.empty() || sortableStamp(first.date, first.time) > last;
}

} // namespace

RecordDecoder::RecordDecoder(const LoggerParameters &parameters, std::string_view rainFactor)
    : parameters_(parameters), rainFactor_(val(rainFactor)),
      recordLength_(recordLengthOf(parameters.loggerModel)) {}

Reading RecordDecoder::decode(std::string_view record) {
    Reading reading;
    const int minute = record.empty() ? noMinute : int(byteAt(record, memoryRecord::minute));
    if (record.size() != recordLength_ || minute == memoryRecord::emptyMarker) {
        previousMinute_ = minute;
        previousSeconds_ = 0;
        first_ = false;
        return reading;
    }
    reading.time.reserve(8);
    appendHex2(reading.time, byteAt(record, memoryRecord::hour));
    reading.time += ':';
    appendHex2(reading.time, unsigned(minute));
    reading.time += ':';
    appendDecimal(reading.time, secondsFor(minute), 2);
    reading.date = dateOf(record);
    decodeValues(record, reading);
    return reading;
}

unsigned RecordDecoder::secondsFor(int minute) {
    int seconds = 0;
    if (parameters_.samplingCode < fastSamplingCodes && !first_ && minute == previousMinute_) {
        // A memory that repeats a minute more often than the minute has samplings (a clock set
        // back, a record stored twice) stays on the minute's last one instead of counting past
        // the minute and out of the two-digit time.
        const int step = secondsStepPerCode * (parameters_.samplingCode + 1);
        seconds = std::min(previousSeconds_ + step, secondsPerMinute - step);
    }
    previousMinute_ = minute;
    previousSeconds_ = seconds;
    first_ = false;
    return unsigned(seconds);
}

// The minute shows as the hex digits of its BCD byte.
void RecordDecoder::follow(std::string_view time) {
    const std::string_view minute = cut(time, {3, 2});
    int byte = 0;
    if (std::from_chars(minute.data(), minute.data() + minute.size(), byte, 16).ec != std::errc())
        return;
    previousMinute_ = byte;
    previousSeconds_ = int(valInt(cut(time, {6, 2})));
    first_ = false;
}

void RecordDecoder::decodeValues(std::string_view record, Reading &reading) {
    switch (parameters_.loggerModel) {
    case 3:
        decodeChannel(record, 3, parameters_.channel(3).decimals, reading);
        decodeChannel(record, 4, parameters_.channel(4).decimals, reading);
        [[fallthrough]];
    case 1:
        decodeChannel(record, 1, parameters_.channel(1).decimals, reading);
        decodeChannel(record, 2, parameters_.channel(2).decimals, reading);
        break;
    case 4:
        decodeChannel(record, 1, 1, reading);
        decodeChannel(record, 2, 1, reading);
        break;
    case 5: {
        decodeChannel(record, 1, 1, reading);
        if (parameters_.channel(2).enabled != 1)
            break;
        const unsigned long long counter =
            unsignedWordAt(record, memoryRecord::rainHighWord) * 65536ull +
            unsignedWordAt(record, memoryRecord::rainLowWord);
        const double amount = static_cast<double>(counter) * rainFactor_;
        reading.values[2] = formatRain(amount, rainDecimals);
        reading.fullValues[2] = fullPrecisionValue(amount, rainDecimals);
        break;
    }
    default:
        break;
    }
}

// A channel the logger does not sample has no readings, whatever its memory cells hold. The
// limits are compared at full precision: a text too wide for its column has lost decimals.
void RecordDecoder::decodeChannel(std::string_view record, int channel, int decimals,
                                  Reading &reading) {
    const ChannelParameters &ch = parameters_.channel(channel);
    if (ch.enabled != 1)
        return;
    const int raw = wordAt(record, memoryRecord::channelWord(channel));
    const double value = readingNumber(raw, ch, decimals);
    reading.values[channel] = formatReading(raw, ch, decimals);
    reading.fullValues[channel] = value;
    if (ch.limitAlarm == 1 && (value > ch.highLimitValue || value < ch.lowLimitValue))
        limitCrossed_ = true;
}

std::size_t recordCountOf(std::string_view memoryPointer) {
    const long long pointer = valInt(memoryPointer);
    if (pointer <= 1)
        return 0;
    return std::min<std::size_t>(static_cast<std::size_t>(pointer - 1), maxRequestable);
}

std::string memoryRequest(std::size_t last, std::size_t first) {
    std::string request = "L";
    request += hexDigits(first, 4);
    request += hexDigits(last, 4);
    return request;
}

// A memory with nothing new is not asked for anything: the logger is left as it is.
bool MemoryTransfer::transferMemory(LoggerResult &logger, const std::optional<SavedUpTo> &saved) {
    const std::size_t last = recordCountOf(logger.parameters.memoryPointer);
    const std::size_t first = saved ? firstNewRecord(logger.parameters.memoryPointer, *saved) : 1;
    if (first == 1)
        return fetchRecords(logger, 1, last);
    if (first > last) {
        logger.records.clear();
        logger.readings.clear();
        line_.progress().detail(nothingNew);
        return true;
    }
    if (!fetchRecords(logger, first, last, saved->lastTime))
        return false;
    if (followsSaved(logger.readings.front(), *saved))
        return true;
    line_.progress().detail(notAfterSaved);
    return fetchRecords(logger, 1, last);
}

std::size_t MemoryTransfer::firstNewRecord(std::string_view memoryPointer, const SavedUpTo &saved) {
    const long long pointer = valInt(memoryPointer);
    if (pointer >= static_cast<long long>(saved.memoryPointer))
        return std::max<std::size_t>(saved.memoryPointer, 1);
    line_.progress().detail(pointerBelow + zeroPad(pointer, pointerDigits) + belowTheSaved +
                            zeroPad(static_cast<long long>(saved.memoryPointer), pointerDigits) +
                            savedReadingAll);
    return 1;
}

bool MemoryTransfer::fetchRecords(LoggerResult &logger, std::size_t first, std::size_t last,
                                  std::string_view after) {
    logger.records.clear();
    logger.readings.clear();
    const std::size_t count = last + 1 - first;
    line_.progress().transferSize(count);
    const bool received =
        requestRecords(first, last) &&
        receiveRecords(count, recordLengthOf(logger.parameters.loggerModel), logger.records);
    serial_.closePort();
    if (!received)
        return false;
    processMemory(logger, after);
    return true;
}

bool MemoryTransfer::requestRecords(std::size_t first, std::size_t last) {
    if (serial_.reopen() != PortError::none) {
        line_.progress().detail(transferPortFailed);
        return false;
    }
    if (!serial_.write(std::string(1, code::loggerAttention)) ||
        !serial_.waitForData(attentionLimit) || serial_.readChar() != '!') {
        line_.progress().detail(transferNoAnswer);
        return false;
    }
    line_.port().discardInput();
    if (!serial_.write(memoryRequest(last, first) + code::carriageReturn)) {
        line_.progress().detail(transferNoAnswer);
        return false;
    }
    return true;
}

bool MemoryTransfer::receiveRecords(std::size_t count, std::size_t recordLength,
                                    std::vector<std::string> &buffer) {
    buffer.reserve(count);
    for (std::size_t k = 1; k <= count; ++k) {
        line_.progress().detail(transferringBlock + std::to_string(k));
        // The program is ending: nothing is erased after an incomplete transfer, so the
        // records stay in the logger for the next session.
        if (line_.stopRequested()) {
            line_.progress().detail(transferStopped + std::to_string(k));
            return false;
        }
        std::string record;
        if (!receiveRecord(recordLength, record)) {
            const bool garbled = record.size() > recordLength;
            line_.progress().detail((garbled ? transferGarbled : transferStopped) +
                                    std::to_string(k));
            return false;
        }
        buffer.push_back(std::move(record));
    }
    return true;
}

// A carriage return ends the record only at its full length; elsewhere it is a data byte. A
// record that has grown past its length can never end, so the transfer stops there instead of
// waiting out the rest of the stream.
bool MemoryTransfer::receiveRecord(std::size_t recordLength, std::string &record) {
    while (record.size() <= recordLength) {
        if (!serial_.waitForData(recordSilenceLimit))
            return false;
        const auto c = serial_.readChar();
        if (!c)
            continue;
        if (*c == code::carriageReturn && record.size() == recordLength)
            return true;
        record += *c;
    }
    return false;
}

void MemoryTransfer::processMemory(LoggerResult &logger, std::string_view after) {
    RecordDecoder decoder(logger.parameters, logger.rainFactor.value_or(""));
    decoder.follow(after);
    logger.readings.clear();
    logger.readings.reserve(logger.records.size());
    for (std::size_t k = 1; k <= logger.records.size(); ++k) {
        line_.progress().detail(processingBlock + std::to_string(k));
        logger.readings.push_back(decoder.decode(logger.records[k - 1]));
    }
    logger.limitCrossed = decoder.limitCrossed();
}

} // namespace vantrell

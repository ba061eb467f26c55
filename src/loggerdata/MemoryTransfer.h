// The memory transfer: the logger is asked once for all its records and streams them back; they
// are received into the RecordBuffer, the port is closed, and each record is then cut into a
// date, a time and one value text per channel in the ReadingTable, checking the logger's own
// limits on the way. Decoding one record is a pure step (RecordDecoder), apart from the line.
// A logger whose memory the station keeps may be asked only for the records after those saved.
#pragma once

#include "config/SessionStatus.h"
#include "config/Tables.h"
#include "general/Line.h"
#include "link/Serial.h"
#include "loggerdata/LoggerResult.h"
#include "loggerdata/SavedUpTo.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// A memory record, byte offsets 0-based:
//   0 minute (BCD; 0xFF: empty record), 1 hour (BCD), 2 day (BCD, bits 0-5) + year tens
//   (bits 6-7), 3 month (binary, bits 0-3) + year units (bits 4-7), 4-5 / 6-7 / 8-9 / 10-11
//   channel words 1..4 high byte first. The rain logger keeps its counter's low word at 6-7
//   and high word at 8-9.
namespace memoryRecord {
constexpr std::size_t minute = 0;
constexpr std::size_t hour = 1;
constexpr std::size_t dayAndYearTens = 2;
constexpr std::size_t monthAndYearUnits = 3;
// The word of channel c (1..4).
constexpr std::size_t channelWord(int channel) {
    return 4 + 2 * std::size_t(channel - 1);
}
constexpr std::size_t rainLowWord = 6;
constexpr std::size_t rainHighWord = 8;
constexpr unsigned char emptyMarker = 0xFF;
} // namespace memoryRecord

// Decodes the records of one memory in order: the seconds of a record depend on the records
// before it.
class RecordDecoder {
public:
    RecordDecoder(const LoggerParameters &parameters, std::string_view rainFactor);

    // The next record. An empty record, or one of the wrong length, gives an entry with
    // nothing in it.
    Reading decode(std::string_view record);
    // A reading so far lay outside the logger's own limits on a channel that checks them.
    bool limitCrossed() const { return limitCrossed_; }
    // The records decoded next follow one stamped `time` ("HH:MM:SS"): at fast sampling their
    // seconds count on from it.
    void follow(std::string_view time);

private:
    unsigned secondsFor(int minute);
    void decodeValues(std::string_view record, Reading &reading);
    void decodeChannel(std::string_view record, int channel, int decimals, Reading &reading);

    const LoggerParameters &parameters_;
    double rainFactor_;
    std::size_t recordLength_;
    static constexpr int noMinute = -1;
    int previousMinute_ = noMinute;
    int previousSeconds_ = 0;
    bool first_ = true;
    bool limitCrossed_ = false;
};

// The records to fetch: the memory pointer less one, none when it is 0 or 1.
std::size_t recordCountOf(std::string_view memoryPointer);

// The request for records first..last: "L", then both numbers as four upper-case hex digits.
std::string memoryRequest(std::size_t last, std::size_t first = 1);

class MemoryTransfer {
public:
    explicit MemoryTransfer(Line &line) : line_(line), serial_(line) {}

    // Fetches the whole memory of the logger whose parameter set `logger` holds into its
    // records, and decodes them into its readings; true when it all arrived. A transfer cut
    // short keeps the records received and decodes none. With `saved`, only the records after
    // those saved are fetched, unless the memory is no longer the one saved from (its pointer
    // went back, or its first new record is not later than the last saved): then all of it.
    [[nodiscard]] bool transferMemory(LoggerResult &logger,
                                      const std::optional<SavedUpTo> &saved = std::nullopt);
    // Decodes the records into the readings (the second half of the transfer); `after`: the time
    // of the record before the first, when they start inside the memory.
    void processMemory(LoggerResult &logger, std::string_view after = {});

private:
    std::size_t firstNewRecord(std::string_view memoryPointer, const SavedUpTo &saved);
    bool fetchRecords(LoggerResult &logger, std::size_t first, std::size_t last,
                      std::string_view after = {});
    bool requestRecords(std::size_t first, std::size_t last);
    bool receiveRecords(std::size_t count, std::size_t recordLength,
                        std::vector<std::string> &records);
    bool receiveRecord(std::size_t recordLength, std::string &record);

    Line &line_;
    Serial serial_;
};

} // namespace vantrell

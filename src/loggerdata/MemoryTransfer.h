// The memory transfer: the logger is asked once for all its records and streams them back; they
// are received into the RecordBuffer, the port is closed, and each record is then cut into a
// date, a time and one value text per channel in the ReadingTable, checking the logger's own
// limits on the way. Decoding one record is a pure step (RecordDecoder), apart from the line.
#pragma once

#include "config/SessionStatus.h"
#include "config/Tables.h"
#include "general/Line.h"
#include "link/Serial.h"
#include "loggerdata/LoggerResult.h"

#include <cstddef>
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

// The request for records 1..count: "L", then both numbers as four upper-case hex digits.
std::string memoryRequest(std::size_t count);

class MemoryTransfer {
public:
    explicit MemoryTransfer(Line &line) : line_(line), serial_(line) {}

    // Fetches the whole memory of the logger whose parameter set `logger` holds into its
    // records, and decodes them into its readings; true when it all arrived. A transfer cut
    // short keeps the records received and decodes none.
    [[nodiscard]] bool transferMemory(LoggerResult &logger);
    // Decodes the records into the readings (the second half of the transfer).
    void processMemory(LoggerResult &logger);

private:
    bool requestRecords(std::size_t count);
    bool receiveRecords(std::size_t count, std::size_t recordLength,
                        std::vector<std::string> &records);
    bool receiveRecord(std::size_t recordLength, std::string &record);

    Line &line_;
    Serial serial_;
};

} // namespace vantrell

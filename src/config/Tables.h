// The configuration tables every module reads. Values stay text, exactly as the configuration
// files store them; flags are "0"/"1" and are compared numerically, free text as it stands.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantrell {

// A table whose entries are numbered 1..N, as the lists and files number them. Entry 0 does not
// exist: asking for it throws like any other number out of range.
template <typename T, int N> class OneBased {
public:
    using iterator = typename std::array<T, N>::iterator;
    using const_iterator = typename std::array<T, N>::const_iterator;

    OneBased() = default;
    // Entries 1, 2, ... in order; the rest keep their default.
    OneBased(std::initializer_list<T> entries) {
        if (entries.size() > std::size_t(N))
            throw std::out_of_range("more entries than the table holds");
        std::copy(entries.begin(), entries.end(), entries_.begin());
    }

    T &operator[](int k) { return at(k); }
    const T &operator[](int k) const { return at(k); }
    T &at(int k) { return entries_.at(index(k)); }
    const T &at(int k) const { return entries_.at(index(k)); }

    static constexpr int size() { return N; }
    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }
    void fill(const T &value) { entries_.fill(value); }

    bool operator==(const OneBased &) const = default;

private:
    // Zero and negative numbers wrap to a huge index, which .at() rejects.
    static std::size_t index(int k) { return std::size_t(k) - 1; }

    std::array<T, N> entries_{};
};

constexpr int maxDevices = 50;
constexpr int deviceFieldCount = 45;
constexpr int maxLoggers = 8;
constexpr int scheduleTimeCount = 4;

// Field numbers of a device record (the child position in prop.xml is the number minus 1).
namespace field {
constexpr int active = 1;
constexpr int connection = 2;
constexpr int outsideLine = 3;
constexpr int outsideLineIndex = 4;
constexpr int serialNumber1 = 5; // serial number of logger k is field 4 + k
constexpr int deviceType = 13;
constexpr int description = 14;
constexpr int scheduleSlot1 = 15; // schedule time s is field 14 + s
constexpr int savingMode = 19;
constexpr int dataDirectory = 20;
constexpr int forwardEnabled = 21;
constexpr int forwardKind = 22;
constexpr int forwardAddress = 23;
constexpr int forwardUser = 24;
constexpr int forwardPassword = 25;
constexpr int eraseMemory = 26;
constexpr int setClock = 27;
constexpr int useSwitch = 28;
constexpr int reportEnabled = 29;
constexpr int reportAddress = 30;
constexpr int ftpRootDirectory = 31;
constexpr int alarmEnabled = 32;
constexpr int alarmNotifyKind = 33;
constexpr int alarmAddress = 34;
constexpr int smtpServer = 35;
constexpr int lastWritten = 35; // fields 36..45 only ever come from a file
} // namespace field

// The connection texts that are not telephone numbers; the first four characters decide.
constexpr const char *localConnection = "locl0000";
constexpr const char *localPrefix = "locl";
constexpr const char *networkPrefix = "netw";

// A line switch serves networks 01..04 of sections 01..15.
constexpr int networkCount = 4;
constexpr int sectionCount = 15;

// The device types the deviceType field chooses from, by list position.
constexpr std::array<const char *, 3> deviceTypes = {"ZU-MAR", "KORVANE", "OBREL"};
// The outside-line digit list: a blank at position 0, then the digits 0..9.
constexpr int outsideLinePositions = 11;

enum class ConnectionKind { local, network, modem };

struct DeviceRecord {
    OneBased<std::string, deviceFieldCount> fields{};

    std::string &operator[](int f) { return fields.at(f); }
    const std::string &operator[](int f) const { return fields.at(f); }

    bool flag(int f) const; // the field's numeric value is 1
    const std::string &connection() const { return fields[field::connection]; }
    ConnectionKind connectionKind() const;
    // Network and section of a "netwNNSS" connection text; 0 where the digits are missing.
    int networkNumber() const;
    int sectionNumber() const;
    std::string &serialNumber(int logger) { return fields.at(field::serialNumber1 + logger - 1); }
    const std::string &serialNumber(int logger) const {
        return fields.at(field::serialNumber1 + logger - 1);
    }
    bool scheduledAt(int time) const { return flag(field::scheduleSlot1 + time - 1); }
    // A slot is free when it holds no device: nothing but what a blank template record holds, or
    // what deleting a device leaves. The phone list's blank cell for an inactive local device is
    // no sign of a free slot.
    bool isFree() const;
    // The record a delete leaves: free, with the settings that make no device kept.
    DeviceRecord cleared() const;
};

// Slot k (1..50) is row k of the phone list.
using DeviceTable = OneBased<DeviceRecord, maxDevices>;

// The active devices scheduled at time `time` (1..4): those its report names.
std::vector<int> devicesDueAt(const DeviceTable &devices, int time);

// Entry s (1..4) is the list index of schedule time s; "-1" or "" means not set.
using ScheduleTimes = OneBased<std::string, scheduleTimeCount>;

// Position p (1..8) of slot k: 2s-1 holds "X" when the device is scheduled at time s,
// 2s the done mark (a status letter) of time s.
struct DailyMarks {
    std::string &at(int position, int slot) { return marks_.at(position).at(slot); }
    const std::string &at(int position, int slot) const { return marks_.at(position).at(slot); }

private:
    OneBased<OneBased<std::string, maxDevices>, 2 * scheduleTimeCount> marks_;
};

// The text of schedule time `time` (1..4) as its list shows it ("08:00"); empty when not set.
std::string scheduleTimeText(const ScheduleTimes &times, int time);

using ReportSentMarks = OneBased<std::string, scheduleTimeCount>;

namespace setup {
constexpr int readingsPerDay = 1;
constexpr int accelAlarmOn = 2;
constexpr int accelDelta = 3;
constexpr int accelDays = 4;
constexpr int decimalPoint = 5;
constexpr int accelMessage = 6;
constexpr int absAlarmOn = 7;
constexpr int absMinimum = 8;
constexpr int absMaximum = 9;
constexpr int absMessage = 10;
constexpr int fieldCount = 10;
constexpr int channelCount = 32;
} // namespace setup

// The alarm setup of the station whose setup file was loaded last: channels 1..32 of fields
// 1..10.
struct ChannelSetup {
    std::string &at(int channel, int f) { return values_.at(channel).at(f); }
    const std::string &at(int channel, int f) const { return values_.at(channel).at(f); }

    bool operator==(const ChannelSetup &) const = default;

private:
    OneBased<OneBased<std::string, setup::fieldCount>, setup::channelCount> values_;
};

constexpr int phonebookSize = 10;
using SmsPhonebook = OneBased<std::string, phonebookSize>;

// What the mails and uploads need that no dialog edits: the SMTP host of alarm and report mails
// (a server text may carry ":port"), the sender of each kind of mail, and the FTP host offered
// when a device has none. settings.xml holds them; these are the values without the file.
struct Settings {
    std::string smtpHost = "localhost:25";
    std::string dataMailFrom = "vantrell-data@localhost";
    std::string alarmMailFrom = "vantrell-alarm@localhost";
    std::string reportMailFrom = "vantrell-report@localhost";
    std::string ftpHost = "ftp.example.com";

    bool operator==(const Settings &) const = default;
};

} // namespace vantrell

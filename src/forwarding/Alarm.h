// The alarms raised from a logger's readings: a channel outside its minimum and maximum
// (absolute), two readings of a channel within a recent window further apart than a delta
// (acceleration), and the logger's own limit alarm. Channel alarms go by SMS to every number of
// the phone book; the limit alarm by mail or SMS to the device's alarm address. SMS go through
// the SMS modem in text mode, and only as text: nothing in a configured number or message can
// reach the modem as a command.
#pragma once

#include "config/Station.h"
#include "forwarding/MailSession.h"
#include "general/SerialPort.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

namespace text {
inline constexpr const char *checkingAlarmAbsolute = "checking Alarm Absolute...";
inline constexpr const char *checkingAlarmAcceleration = "Checking Alarm Acceleration...";
inline constexpr const char *checkingAlarmChannel = "Checking Alarm CH";
inline constexpr const char *channelEllipsis = "...";
inline constexpr const char *absoluteBlock = "block";
inline constexpr const char *accelerationActive = "...Active";
inline constexpr const char *accelerationBlock = "...Block";
inline constexpr const char *alarmChannel = "; Channel ";
inline constexpr const char *sendingAlarmToMail = "sending alarm message to Mail address...";
inline constexpr const char *alarmSubject = "Korvane Alarm";
inline constexpr const char *alarmInDevice = "An alarm was triggered in the device ";
inline constexpr const char *alarmInNetwork = "An alarm was triggered in Network ";
inline constexpr const char *alarmInSection = " in Section ";
inline constexpr const char *alarmInTheDevice = " in the device ";
inline constexpr const char *alarmByTel = "An alarm was triggered by tel. ";
inline constexpr const char *alarmFromDevice = " from device ";
} // namespace text

namespace sms {
inline constexpr const char *textMode = "AT+CMGF=1\r";
inline constexpr const char *sendTo = "AT+CMGS=";
inline constexpr char endOfMessage = 26;
constexpr int phonebookPauses = 20; // one-second pauses after each SMS of a broadcast
} // namespace sms

// Entries first..last (1-based) of the ReadingTable that an acceleration check compares.
struct EntryRange {
    int first = 1;
    int last = 0;
    bool empty() const { return first > last; }
};
// The newest reading is entry L - 1 (entry L is the line after the last record). A window of W
// entries starts at L - W, at entry 1 when W reaches back beyond the history; a window of no
// entries (W 0 or less) compares nothing.
EntryRange accelerationWindow(int historyLength, double windowEntries);

// The limit alarm's text, after the kind of connection of the device.
std::string limitAlarmText(const DeviceRecord &device, const std::string &serial);

// A telephone number as it goes between the quotes of "AT+CMGS=": digits, optionally after a
// "+"; blanks, dots and dashes among them are dropped. Anything else (a quote, a semicolon, a
// letter) could close the number and append a command, and is refused with nullopt.
std::optional<std::string> smsNumber(std::string_view text);

// A message as it goes on the modem line: 8-bit, without a single control character, so that
// nothing in it can end (26), abandon (27) or break it, or reach the modem as a command.
std::string smsLineText(std::string_view text);

class Alarm {
public:
    Alarm(Station &station, SerialPort &smsPort, MailSessionFactory mail)
        : station_(station), smsPort_(smsPort), mail_(std::move(mail)) {}

    void checkAbsoluteAlarms();
    void checkAccelerationAlarms();
    void sendLimitAlarm();
    void sendSms(const std::string &number, const std::string &message);
    // To every phone-book entry that begins with "+" and is a telephone number, twenty seconds
    // apart.
    void broadcast(const std::string &message);

private:
    int setupChannel(int channel) const;
    std::string channelText(int channel) const;
    bool windowExceeds(int channel, EntryRange window, double delta);
    double limit(int setupChannel, int field, const char *name);
    void mailLimitAlarm(const std::string &text);
    bool writeSms(const std::string &bytes);

    Station &station_;
    SerialPort &smsPort_;
    MailSessionFactory mail_;
    std::array<bool, 5> alarmSent_{}; // logger channels 1..4
};

} // namespace vantrell

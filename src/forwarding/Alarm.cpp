#include "forwarding/Alarm.h"

#include "forwarding/MailDelivery.h"
#include "general/Codepage.h"
#include "general/Progress.h"
#include "general/Text.h"
#include "loggerdata/Conversions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vantrell {

namespace {

// A data file's third record is never written: read back, it shows as zero bytes in place of
// a reading. It is not a reading and must not count as 0 against the real ones.
bool neverWritten(const std::string &value) {
    return value.find('\0') != std::string::npos;
}

std::string withBlank(long long number) {
    std::string text(1, ' ');
    text += std::to_string(number);
    return text;
}

} // namespace

EntryRange accelerationWindow(int historyLength, double windowEntries) {
    const int last = historyLength - 1;
    if (!(windowEntries > 0))
        return {historyLength, last};
    const int first = windowEntries > historyLength
                          ? 1
                          : historyLength - static_cast<int>(std::llround(windowEntries));
    return {std::max(first, 1), last};
}

std::string limitAlarmText(const DeviceRecord &device, const std::string &serial) {
    switch (device.connectionKind()) {
    case ConnectionKind::local:
        return text::alarmInDevice + serial;
    case ConnectionKind::network:
        return text::alarmInNetwork + std::to_string(device.networkNumber()) +
               text::alarmInSection + std::to_string(device.sectionNumber()) +
               text::alarmInTheDevice + serial;
    case ConnectionKind::modem:
        break;
    }
    return text::alarmByTel + device.connection() + text::alarmFromDevice + serial;
}

namespace {
constexpr const char *notATelephoneNumber =
    "not a telephone number (digits with an optional leading \"+\")";
} // namespace

std::optional<std::string> smsNumber(std::string_view text) {
    const std::string given = trim(text);
    std::string number;
    std::string_view digits = given;
    if (startsWith(digits, "+")) {
        number += '+';
        digits.remove_prefix(1);
    }
    for (const char c : digits) {
        if (c >= '0' && c <= '9')
            number += c;
        else if (c != ' ' && c != '.' && c != '-')
            return std::nullopt;
    }
    if (number.empty() || number == "+")
        return std::nullopt;
    return number;
}

// Control characters go before the code page does: the five bytes it leaves unassigned are
// control characters in UTF-8, and so cannot come out of it.
std::string smsLineText(std::string_view text) {
    return utf8ToWindows1252(withoutControlCharacters(text));
}

int Alarm::setupChannel(int channel) const {
    return 4 * station_.session.loggerIndex - 4 + channel;
}

std::string Alarm::channelText(int channel) const {
    return text::checkingAlarmChannel + withBlank(channel) + text::channelEllipsis;
}

// A limit counts by its numeric value, 0 when it has none; one that is not a plain number is
// still used that way, but the operator is told.
double Alarm::limit(int channel, int field, const char *name) {
    const std::string &value = station_.channelSetup.at(channel, field);
    const double number = val(value);
    if (!isNumericText(value)) {
        char shown[32];
        std::snprintf(shown, sizeof shown, "%g", number);
        station_.progress().detail("Alarm setup of channel " + std::to_string(channel) + ": " +
                                   name + " \"" + value + "\" is not a number; taken as " + shown);
    }
    return number;
}

// The table holds what this transfer decoded (nothing when none ran), with every reading at
// full precision.
void Alarm::checkAbsoluteAlarms() {
    ProgressSink &progress = station_.progress();
    progress.detail(text::checkingAlarmAbsolute);
    alarmSent_.fill(false);
    const std::vector<Reading> &table = station_.data.readingTable;
    const std::size_t records = table.size();
    for (int ch = 1; ch <= 4; ++ch) {
        const int c = setupChannel(ch);
        const std::string chText = channelText(ch);
        progress.detail(chText);
        if (valInt(station_.channelSetup.at(c, setup::absAlarmOn)) != 1)
            continue;
        const double minimum = limit(c, setup::absMinimum, "minimum");
        const double maximum = limit(c, setup::absMaximum, "maximum");
        for (std::size_t k = 1; k <= records; ++k) {
            progress.detail(chText + text::absoluteBlock + withBlank(static_cast<long long>(k)));
            if (alarmSent_[ch])
                continue;
            const double v = comparedValue(table[k - 1], ch);
            if (v < minimum || v > maximum) {
                broadcast(station_.channelSetup.at(c, setup::absMessage) + text::alarmChannel +
                          std::to_string(ch));
                alarmSent_[ch] = true;
            }
        }
    }
}

// Two readings in the window differ by more than the delta exactly when the highest and the
// lowest do, so one pass over the window decides what comparing every pair would.
void Alarm::checkAccelerationAlarms() {
    ProgressSink &progress = station_.progress();
    progress.detail(text::checkingAlarmAcceleration);
    station_.wait(1);
    alarmSent_.fill(false);
    const LoggerData &data = station_.data;
    // A file this session did not write holds an earlier session's readings, or none at all.
    if (!data.dataFileWritten) {
        progress.detail("Acceleration alarms not checked: no data file was written");
        return;
    }
    const int history = std::min(data.readBackCount, static_cast<int>(data.readingTable.size()));
    const int firstChannel = setupChannel(1);
    for (int ch = 1; ch <= 4; ++ch) {
        const int c = setupChannel(ch);
        const std::string chText = channelText(ch);
        progress.detail(chText);
        if (valInt(station_.channelSetup.at(c, setup::accelAlarmOn)) != 1)
            continue;
        progress.detail(chText + text::accelerationActive);
        const double entries = limit(firstChannel, setup::readingsPerDay, "readings per day") *
                               limit(c, setup::accelDays, "days");
        const double delta = limit(c, setup::accelDelta, "delta");
        if (windowExceeds(ch, accelerationWindow(history, entries), delta)) {
            broadcast(station_.channelSetup.at(c, setup::accelMessage) + text::alarmChannel +
                      std::to_string(ch));
            alarmSent_[ch] = true;
        }
    }
}

// Newest entry first, as far back as the window reaches, stopping at the first entry that
// widens the spread beyond the delta.
bool Alarm::windowExceeds(int channel, EntryRange window, double delta) {
    const std::vector<Reading> &table = station_.data.readingTable;
    std::string blockText = channelText(channel) + text::accelerationBlock + " ";
    const std::size_t numberAt = blockText.size();
    bool any = false;
    double lowest = 0.0;
    double highest = 0.0;
    for (int j = window.last; j >= window.first; --j) {
        // One text rewritten in place: a long history must not cost an allocation per entry.
        blockText.resize(numberAt);
        blockText += std::to_string(j);
        station_.progress().detail(blockText);
        const Reading &reading = table[static_cast<std::size_t>(j - 1)];
        if (neverWritten(reading.values[channel]))
            continue;
        const double v = comparedValue(reading, channel);
        lowest = any ? std::min(lowest, v) : v;
        highest = any ? std::max(highest, v) : v;
        any = true;
        if (std::fabs(highest - lowest) > delta)
            return true;
    }
    return false;
}

void Alarm::sendLimitAlarm() {
    const DeviceRecord &device = station_.cycleRecord();
    const std::string message =
        limitAlarmText(device, device.serialNumber(station_.session.loggerIndex));
    if (valInt(device[field::alarmNotifyKind]) == 0)
        mailLimitAlarm(message);
    else
        sendSms(device[field::alarmAddress], message);
}

void Alarm::mailLimitAlarm(const std::string &message) {
    station_.progress().detail(text::sendingAlarmToMail);
    const std::unique_ptr<MailSession> mail = mail_();
    mail->setServer(station_.settings.smtpHost);
    mail->setUsername("");
    mail->setPassword("");
    mail->setPopServer("");
    mail->setMailFrom(station_.settings.alarmMailFrom);
    mail->setSendTo(station_.cycleRecord()[field::alarmAddress]);
    mail->setMessageSubject(text::alarmSubject);
    mail->setMessageText(message);
    deliverMail(station_, *mail);
}

void Alarm::broadcast(const std::string &message) {
    int sent = 0;
    for (int p = 1; p <= phonebookSize; ++p) {
        const std::string &number = station_.phonebook[p];
        if (number.empty())
            continue;
        const std::string entry = "Phone-book entry " + std::to_string(p) + " \"" + number + "\"";
        if (!startsWith(number, "+")) {
            if (!trim(number).empty())
                station_.progress().detail(entry + " does not begin with \"+\"; skipped");
            continue;
        }
        if (!smsNumber(number)) {
            station_.progress().detail(entry + " is " + notATelephoneNumber + "; skipped");
            continue;
        }
        sendSms(number, message);
        ++sent;
        for (int i = 0; i < sms::phonebookPauses; ++i)
            station_.wait(1);
    }
    if (sent == 0)
        station_.progress().detail(
            notSentText("Alarm \"" + message + "\"", "the phone book",
                        "no phone-book entry is a telephone number beginning with \"+\""));
}

// No answer of the modem is read: the steps are paced by one-second pauses.
void Alarm::sendSms(const std::string &number, const std::string &message) {
    ProgressSink &progress = station_.progress();
    const std::string whom = "\"" + number + "\"";
    if (trim(number).empty()) {
        progress.detail(notSentText("SMS", whom, "no number"));
        return;
    }
    const std::optional<std::string> lineNumber = smsNumber(number);
    if (!lineNumber) {
        progress.detail(notSentText("SMS", whom, notATelephoneNumber));
        return;
    }
    const std::string lineMessage = smsLineText(message);
    if (hasControlCharacter(message))
        progress.detail("SMS to " + whom + ": control characters removed from the text");
    if (smsPort_.isOpen())
        smsPort_.close();
    if (const PortError error = smsPort_.open(station_.modemPortNumber); error != PortError::none) {
        progress.detail(
            notSentText("SMS", whom, describe(smsPort_, station_.modemPortNumber, error)));
        return;
    }
    const bool written = writeSms(sms::textMode) &&
                         writeSms(std::string(sms::sendTo) + "\"" + *lineNumber + "\"\r") &&
                         writeSms(lineMessage + sms::endOfMessage);
    if (smsPort_.isOpen())
        smsPort_.close();
    if (!written)
        progress.detail(notSentText("SMS", whom, "the modem port took no bytes"));
}

bool Alarm::writeSms(const std::string &bytes) {
    if (!smsPort_.write(bytes))
        return false;
    station_.wait(1);
    return true;
}

} // namespace vantrell

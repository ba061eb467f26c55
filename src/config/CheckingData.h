// The checks a device record passes before it is stored, from the properties dialog or from the
// command line: the telephone number of a remote device, the serial numbers of the station's
// loggers, the schedule of an active device and where its data is forwarded. The dialog shows a
// failure in a "Data error" box; the command line prints it.
#pragma once

#include "config/Tables.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

class Station;

// The title of every box that refuses the operator's input.
inline constexpr const char *dataErrorTitle = "Data error";

// A whole text that reads as a number: digits with blanks at the ends, a sign, a decimal point
// and an exponent allowed; inner blanks and other letters refused, as are empty and blank texts.
bool isNumeric(std::string_view text);
// "XXXX", "DE", "MMYY": a number, one of the model codes "KV", "GQ", "HZ", "YR", a number. The
// parts are cut from the text as typed, so a leading blank shifts the model code out of place.
bool serialLayoutOk(std::string_view serial);

// A refusal and the field it is about, so that the dialog can put the focus on its box and the
// command line can name its key.
struct FieldProblem {
    std::string text;
    int field = 0;
};

// An active device takes part in at least one schedule time.
std::optional<FieldProblem> scheduleProblem(const DeviceRecord &record);
// A device that forwards its data names where to: a mail address, or an FTP host ("ftp....")
// and an absolute root folder.
std::optional<FieldProblem> forwardProblem(const DeviceRecord &record);
// Every check of a record about to be stored, in the dialog's order: the connection (a
// telephone number unless local or behind a line switch), the serial numbers, the schedule and
// the forwarding.
std::optional<FieldProblem> recordProblem(const DeviceRecord &record);
// The run report, when on, goes to a mail address.
std::optional<std::string> reportProblem(bool enabled, const std::string &address);

class CheckingData {
public:
    explicit CheckingData(Station &station) : station_(station) {}

    // Each gives the problem as its box says it; nothing when the input is fine.
    // The phone box as typed, untrimmed.
    [[nodiscard]] std::optional<std::string> checkPhoneNumber(std::string_view phone);
    // Boxes txtSN 1..8: at least one filled, and each filled one laid out as "XXXXDEMMYY",
    // without a control character anywhere.
    [[nodiscard]] std::optional<std::string>
    checkSerialNumbers(const std::array<std::string, maxLoggers> &serials);

private:
    std::optional<std::string> refuse(const FieldProblem &problem);

    Station &station_;
};

} // namespace vantrell

// The checks the device properties dialog runs before it stores a device: the telephone number
// of a remote device and the serial numbers of the station's loggers. A failure is shown to the
// operator in a "Data error" box, and returned to the caller, which decides what follows.
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
    std::optional<std::string> refuse(const char *text);

    Station &station_;
};

} // namespace vantrell

// Operator text on its way into a configuration file. A box holds one line of printable text:
// a control character pasted from elsewhere would break the XML file or the SMS and mail that
// carry the text. (How long a text may be, the boxes themselves enforce while the operator
// types.)
#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// The message that names the box and what is wrong with its text, or nothing when it may be
// stored.
std::optional<std::string> boxProblem(const QString &text, std::string_view boxName);

} // namespace vantrell

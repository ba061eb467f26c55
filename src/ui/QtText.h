// The station keeps its texts as UTF-8 std::string; the windows show them as QString.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace vantrell {

inline QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

inline std::string stdtext(const QString &text) {
    return text.toStdString();
}

} // namespace vantrell

#include "ui/BoxInputCheck.h"

#include <QList>

#include <algorithm>

namespace vantrell {

namespace {

bool breaksTheLine(char32_t c) {
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph;
}

} // namespace

std::optional<std::string> boxProblem(const QString &text, std::string_view boxName) {
    const QList<uint> characters = text.toUcs4();
    if (std::any_of(characters.begin(), characters.end(),
                    [](uint c) { return breaksTheLine(static_cast<char32_t>(c)); }))
        return std::string(boxName) +
               ": the text holds a control character (a line break, a tab or similar)";
    return std::nullopt;
}

} // namespace vantrell

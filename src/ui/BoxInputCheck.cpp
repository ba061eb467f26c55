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

std::optional<std::string> boxProblem(const QString &text, std::string_view boxName,
                                      int maxLength) {
    const QList<uint> characters = text.toUcs4();
    const std::string name(boxName);
    if (std::any_of(characters.begin(), characters.end(),
                    [](uint c) { return breaksTheLine(static_cast<char32_t>(c)); }))
        return name + ": the text holds a control character (a line break, a tab or similar)";
    if (characters.size() > maxLength)
        return name + ": the text is longer than " + std::to_string(maxLength) + " characters";
    return std::nullopt;
}

} // namespace vantrell

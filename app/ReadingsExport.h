// `vantrelld export`: readings from the journal to a stream, one row at a time as the journal
// gives them, so that millions of rows take no more memory than one.
#pragma once

#include "journal/Journal.h"

#include <optional>
#include <ostream>
#include <string_view>

namespace vantrell {

enum class ExportFormat { csv, json };

std::optional<ExportFormat> exportFormatNamed(std::string_view name);

// CSV: a header line, then one line per reading. JSON: one array, one element per line.
JournalProblem exportReadings(Journal &journal, const ReadingFilter &filter, ExportFormat format,
                              std::ostream &out);

} // namespace vantrell

#include "ReadingsExport.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <string>

namespace vantrell {

namespace {

constexpr const char *csvHeader = "time_utc,time_local,device,serial,channel,name,unit,value";

// The shortest text that reads back as the same double: the journal keeps full precision.
std::string valueText(double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

// RFC 4180: a field with a comma, a quote or a line break is quoted, its quotes doubled.
void writeCsvField(std::ostream &out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out << field;
        return;
    }
    out << '"';
    for (char c : field) {
        if (c == '"')
            out << '"';
        out << c;
    }
    out << '"';
}

void writeCsv(std::ostream &out, const ExportedReading &r) {
    out << isoUtc(r.utc) << ',' << isoLocal(r.utc, r.offsetSeconds) << ',' << r.device << ',';
    writeCsvField(out, r.serial);
    out << ',' << r.channel << ',';
    writeCsvField(out, r.name);
    out << ',';
    writeCsvField(out, r.unit);
    out << ',' << (r.value ? valueText(*r.value) : std::string()) << '\n';
}

std::string jsonElement(const ExportedReading &r) {
    const nlohmann::ordered_json element = {
        {"time_utc", isoUtc(r.utc)},
        {"time_local", isoLocal(r.utc, r.offsetSeconds)},
        {"device", r.device},
        {"serial", r.serial},
        {"channel", r.channel},
        {"name", r.name},
        {"unit", r.unit},
        {"value", r.value ? nlohmann::ordered_json(*r.value) : nlohmann::ordered_json(nullptr)}};
    return element.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace

std::optional<ExportFormat> exportFormatNamed(std::string_view name) {
    if (name == "csv")
        return ExportFormat::csv;
    if (name == "json")
        return ExportFormat::json;
    return std::nullopt;
}

JournalProblem exportReadings(Journal &journal, const ReadingFilter &filter, ExportFormat format,
                              std::ostream &out) {
    if (format == ExportFormat::csv) {
        out << csvHeader << '\n';
        return journal.forEachReading(filter,
                                      [&out](const ExportedReading &r) { writeCsv(out, r); });
    }
    bool first = true;
    out << '[';
    JournalProblem problem =
        journal.forEachReading(filter, [&out, &first](const ExportedReading &r) {
            out << (first ? "\n" : ",\n") << jsonElement(r);
            first = false;
        });
    if (!problem)
        out << "\n]\n";
    return problem;
}

} // namespace vantrell

#include "config/XMLData.h"

#include "config/AtomicFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace vantrell {
namespace fs = std::filesystem;

namespace {

// Everything the file holds is kept for the save: comments, blanks and line ends between and
// around the elements included. Reading it as a fragment keeps what lies outside the root too,
// so that the checks below can refuse text there instead of losing it.
constexpr unsigned parseOptions = pugi::parse_declaration | pugi::parse_doctype | pugi::parse_pi |
                                  pugi::parse_comments | pugi::parse_cdata | pugi::parse_escapes |
                                  pugi::parse_wconv_attribute | pugi::parse_ws_pcdata |
                                  pugi::parse_fragment;
// One form for an empty value, whatever the file had: <v></v>.
constexpr unsigned formatOptions =
    pugi::format_raw | pugi::format_no_empty_element_tags | pugi::format_no_declaration;

constexpr const char *placeAttribute = "place";
constexpr const char *addedValueName = "value";

// Names under which older installations declare their 8-bit files. pugixml reads them as
// Latin-1, which gives every byte back unchanged on save.
constexpr std::array latin1Names = {"iso-8859-1", "iso8859-1",    "latin1",
                                    "latin-1",    "windows-1252", "cp1252"};

struct Encoding {
    pugi::xml_encoding encoding = pugi::encoding_utf8;
    std::string byteOrderMark;
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The encoding named by the declaration of an 8-bit file; empty when it names none.
std::string declaredEncoding(std::string_view bytes) {
    const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
    auto at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return {};
    at = declaration.find_first_of("\"'", at);
    if (at == std::string_view::npos)
        return {};
    const auto end = declaration.find(declaration[at], at + 1);
    if (end == std::string_view::npos)
        return {};
    return std::string(declaration.substr(at + 1, end - at - 1));
}

Encoding detectEncoding(std::string_view bytes) {
    const auto starts = [&](std::string_view prefix) {
        return bytes.substr(0, prefix.size()) == prefix;
    };
    using namespace std::string_view_literals;
    if (starts("\xEF\xBB\xBF"sv))
        return {pugi::encoding_utf8, "\xEF\xBB\xBF"};
    if (starts("\x00\x00\xFE\xFF"sv))
        return {pugi::encoding_utf32_be, std::string("\x00\x00\xFE\xFF"sv)};
    if (starts("\xFF\xFE\x00\x00"sv))
        return {pugi::encoding_utf32_le, std::string("\xFF\xFE\x00\x00"sv)};
    if (starts("\xFE\xFF"sv))
        return {pugi::encoding_utf16_be, "\xFE\xFF"};
    if (starts("\xFF\xFE"sv))
        return {pugi::encoding_utf16_le, "\xFF\xFE"};
    if (starts("<\0?\0"sv))
        return {pugi::encoding_utf16_le, {}};
    if (starts("\0<\0?"sv))
        return {pugi::encoding_utf16_be, {}};
    const std::string name = declaredEncoding(bytes);
    for (const char *latin1 : latin1Names)
        if (equalsIgnoringCase(name, latin1))
            return {pugi::encoding_latin1, {}};
    return {};
}

bool isBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

class StringWriter final : public pugi::xml_writer {
public:
    explicit StringWriter(std::string &out) : out_(out) {}
    void write(const void *data, size_t size) override {
        out_.append(static_cast<const char *>(data), size);
    }

private:
    std::string &out_;
};

std::optional<int> parsePlace(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Markup comes first, after blanks (and the zero bytes of a wide encoding).
bool startsLikeXml(std::string_view bytes) {
    const auto first = bytes.find_first_not_of(std::string_view(" \t\r\n\0", 5));
    return first == std::string_view::npos || bytes[first] == '<';
}

bool isText(pugi::xml_node node) {
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

} // namespace

std::string XmlRecord::value(std::size_t k) const {
    return k < values_.size() ? std::string(values_[k].text().get()) : std::string();
}

void XmlRecord::setValue(std::size_t k, std::string_view text) {
    if (k >= values_.size() && text.empty())
        return; // a missing value already reads as empty
    while (values_.size() <= k) {
        if (values_.empty()) {
            values_.push_back(node_.append_child(addedValueName));
            continue;
        }
        const pugi::xml_node last = values_.back();
        const pugi::xml_node added = node_.insert_child_after(last.name(), last);
        const pugi::xml_node indent = last.previous_sibling();
        if (indent.type() == pugi::node_pcdata)
            node_.insert_copy_before(indent, added);
        values_.push_back(added);
    }
    pugi::xml_node element = values_[k];
    if (!text.empty()) {
        element.text().set(std::string(text).c_str());
        return;
    }
    std::vector<pugi::xml_node> texts;
    for (pugi::xml_node child : element.children())
        if (isText(child))
            texts.push_back(child);
    for (pugi::xml_node child : texts)
        element.remove_child(child);
}

XMLData::XMLData(fs::path file, RecordLayout layout) : file_(std::move(file)), layout_(layout) {}

ConfigError XMLData::load() {
    loaded_ = false;
    std::error_code ec;
    const fs::file_status status = fs::status(file_, ec);
    if (status.type() == fs::file_type::not_found)
        return fileError(FileProblem::missing, file_, "the file is missing");
    // A folder on the way that may not be searched, or a loop of symbolic links.
    if (ec)
        return fileError(FileProblem::unreadable, file_, "cannot be read (" + ec.message() + ")");
    if (fs::is_directory(status))
        return fileError(FileProblem::unreadable, file_, "is a folder, not a file");

    std::ifstream in(file_, std::ios::binary);
    if (!in)
        return fileError(FileProblem::unreadable, file_,
                         std::string("cannot be read (") + std::strerror(errno) + ")");
    std::ostringstream content;
    content << in.rdbuf();
    if (!in.good() && !in.eof())
        return fileError(FileProblem::unreadable, file_,
                         std::string("cannot be read (") + std::strerror(errno) + ")");
    const std::string bytes = content.str();
    if (bytes.empty())
        return fileError(FileProblem::empty, file_, "the file is empty");

    Encoding encoding = detectEncoding(bytes);
    encoding_ = encoding.encoding;
    byteOrderMark_ = !encoding.byteOrderMark.empty();

    records_.clear();
    if (!startsLikeXml(std::string_view(bytes).substr(encoding.byteOrderMark.size())))
        return fileError(FileProblem::notXml, file_, "is not an XML document");
    const pugi::xml_parse_result parsed =
        document_.load_buffer(bytes.data(), bytes.size(), parseOptions, encoding_);
    if (parsed.status == pugi::status_no_document_element)
        return fileError(FileProblem::noRoot, file_, "there is no root element");
    if (!parsed)
        return fileError(FileProblem::notXml, file_,
                         std::string("is not a well-formed XML document (") + parsed.description() +
                             " at byte " + std::to_string(parsed.offset) + ")");
    if (ConfigError error = checkTopLevel())
        return error;
    if (ConfigError error = readRecords())
        return error;
    loaded_ = true;
    return {};
}

// A declaration, then exactly one root element; around them only blanks, comments and
// processing instructions.
ConfigError XMLData::checkTopLevel() {
    int roots = 0;
    bool declarationFirst = false;
    bool seenMarkup = false;
    for (pugi::xml_node node : document_.children()) {
        if (isText(node)) {
            if (!isBlank(node.value()))
                return fileError(FileProblem::notXml, file_,
                                 "is not a well-formed XML document (text outside the root "
                                 "element)");
            continue;
        }
        if (!seenMarkup)
            declarationFirst = node.type() == pugi::node_declaration;
        seenMarkup = true;
        if (node.type() == pugi::node_element)
            ++roots;
    }
    if (roots == 0)
        return fileError(FileProblem::noRoot, file_, "there is no root element");
    if (roots > 1)
        return fileError(FileProblem::notXml, file_,
                         "is not a well-formed XML document (more than one root element)");
    if (!declarationFirst)
        return fileError(FileProblem::noDeclaration, file_,
                         "the XML declaration is missing before the root element");
    return {};
}

ConfigError XMLData::readRecords() {
    std::size_t number = 0;
    for (pugi::xml_node node : document_.document_element().children()) {
        if (node.type() != pugi::node_element)
            continue;
        XmlRecord record;
        record.node_ = node;
        for (pugi::xml_node value : node.children())
            if (value.type() == pugi::node_element)
                record.values_.push_back(value);
        const pugi::xml_attribute place = node.attribute(placeAttribute);
        if (ConfigError error = checkRecord(record, ++number, place)) {
            records_.clear();
            return error;
        }
        if (layout_.places)
            record.place_ = *parsePlace(place.value());
        records_.push_back(std::move(record));
    }
    return {};
}

ConfigError XMLData::checkRecord(const XmlRecord &record, std::size_t number,
                                 pugi::xml_attribute place) {
    const std::string which = "record " + std::to_string(number);
    if (!layout_.places)
        return checkValueCount(record, which);
    if (!place)
        return fileError(FileProblem::noPlace, file_, which + " has no \"place\" attribute");
    const std::optional<int> value = parsePlace(place.value());
    if (!value)
        return fileError(FileProblem::badPlace, file_,
                         which + " has place \"" + place.value() +
                             "\", which is not a whole number");
    const auto [low, high] = *layout_.places;
    if (*value < low || *value > high)
        return fileError(FileProblem::placeOutOfRange, file_,
                         which + " has place " + std::to_string(*value) + ", outside " +
                             std::to_string(low) + "-" + std::to_string(high));
    return checkValueCount(record, which);
}

ConfigError XMLData::checkValueCount(const XmlRecord &record, const std::string &which) {
    if (layout_.maxValues && record.valueCount() > *layout_.maxValues)
        return fileError(FileProblem::tooManyValues, file_,
                         which + " has " + std::to_string(record.valueCount()) +
                             " values, more than " + std::to_string(*layout_.maxValues));
    return {};
}

XmlRecord *XMLData::firstRecord(int place) {
    const auto found = std::find_if(records_.begin(), records_.end(),
                                    [place](const XmlRecord &r) { return r.place() == place; });
    return found == records_.end() ? nullptr : &*found;
}

XmlRecord &XMLData::recordAt(int place) {
    if (XmlRecord *found = firstRecord(place))
        return *found;
    pugi::xml_node root = document_.document_element();
    const std::string name = records_.empty() ? "record" : records_.back().node_.name();
    XmlRecord added;
    added.node_ = root.append_child(name.c_str());
    added.node_.append_attribute(placeAttribute).set_value(place);
    added.place_ = place;
    records_.push_back(std::move(added));
    return records_.back();
}

ConfigError XMLData::save() const {
    // Saving what a failed load left behind would replace the file with a part of it.
    if (!loaded_)
        return fileError(FileProblem::cannotWrite, file_, "was not loaded, so it is not saved");
    std::string out;
    StringWriter writer(out);
    document_.save(writer, "", formatOptions | (byteOrderMark_ ? pugi::format_write_bom : 0u),
                   encoding_);
    const auto ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
    return replaceFile(file_, out, layout_.ownerOnly ? std::optional(ownerOnly) : std::nullopt);
}

} // namespace vantrell

// The one way the program reads and writes its XML files: positional records. A file is an XML
// declaration followed by a root element; every element under the root is a record, found by
// comparing its "place" attribute as an integer, and a record's child elements are its values,
// known only by their position. Element names carry no meaning. Every operation loads the whole
// file, changes the text of existing values and saves the whole file back, so whatever an
// operation does not write keeps its text, and the file its layout and encoding.
#pragma once

#include "config/ConfigError.h"

#include <pugixml.hpp>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace vantrell {

// What a file may hold. A record outside it makes the whole file unusable, so that a damaged
// file is reported once instead of half-loaded.
struct RecordLayout {
    std::optional<std::pair<int, int>> places; // inclusive; none: "place" is not read
    std::optional<std::size_t> maxValues;
    bool ownerOnly = false; // saved readable by the owner only
};

class XmlRecord {
public:
    int place() const { return place_; }
    std::size_t valueCount() const { return values_.size(); }
    // The text of value k; empty beyond the last value.
    std::string value(std::size_t k) const;
    // A short record gets the missing value elements, so that a text written into it is kept;
    // an empty text needs none.
    void setValue(std::size_t k, std::string_view text);

private:
    friend class XMLData;
    pugi::xml_node node_;
    std::vector<pugi::xml_node> values_;
    int place_ = 0;
};

class XMLData {
public:
    XMLData(std::filesystem::path file, RecordLayout layout);
    XMLData(const XMLData &) = delete;
    XMLData &operator=(const XMLData &) = delete;

    ConfigError load();
    ConfigError save() const;

    const std::filesystem::path &file() const { return file_; }
    std::vector<XmlRecord> &records() { return records_; }
    const std::vector<XmlRecord> &records() const { return records_; }
    // The first record in document order with this place, or null.
    XmlRecord *firstRecord(int place);
    // The record with `place`, added at the end of the file when there is none; its element is
    // named like the last record's, so that the file keeps its look.
    XmlRecord &recordAt(int place);

private:
    ConfigError checkTopLevel();
    ConfigError readRecords();
    ConfigError checkRecord(const XmlRecord &record, std::size_t number, pugi::xml_attribute place);
    ConfigError checkValueCount(const XmlRecord &record, const std::string &which);

    std::filesystem::path file_;
    RecordLayout layout_;
    pugi::xml_document document_;
    pugi::xml_encoding encoding_ = pugi::encoding_utf8;
    bool byteOrderMark_ = false;
    bool loaded_ = false;
    std::vector<XmlRecord> records_;
};

// The shape of every read: load the file, hand its records to `read`.
template <typename Read>
ConfigError readRecords(const std::filesystem::path &file, const RecordLayout &layout, Read read) {
    XMLData document(file, layout);
    if (ConfigError error = document.load())
        return error;
    read(document);
    return {};
}

// The shape of every write: load the file, let `change` edit its records, save it whole. A
// change may refuse by returning an error; then nothing is saved.
template <typename Change>
ConfigError rewriteRecords(const std::filesystem::path &file, const RecordLayout &layout,
                           Change change) {
    XMLData document(file, layout);
    if (ConfigError error = document.load())
        return notSaved(error);
    if constexpr (std::is_same_v<decltype(change(document)), ConfigError>) {
        if (ConfigError refused = change(document))
            return notSaved(refused);
    } else {
        change(document);
    }
    return notSaved(document.save());
}

} // namespace vantrell

// Builds parameter block answers byte by byte, for decoding tests that must not depend on any
// encoder but the layout as the logger sends it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrell::testing {

struct ParameterBlock {
    std::string bytes = std::string(151, ' ');

    ParameterBlock &put(std::size_t position, std::string_view text) {
        bytes.replace(position - 1, text.size(), text);
        return *this;
    }
    ParameterBlock &byte(std::size_t position, int value) {
        bytes[position - 1] = static_cast<char>(value);
        return *this;
    }
    // A 27-character channel record: unit index, name, range code, decimals, scale start, end.
    ParameterBlock &channel(int i, std::string_view unit, std::string_view name, char range,
                            char decimals, std::string_view start, std::string_view end) {
        std::string record;
        record += unit;
        record += name;
        record += range;
        record += decimals;
        record += start;
        record += end;
        record.resize(27, ' ');
        return put(std::size_t(27 * i + 7), record);
    }
    ParameterBlock &limits(int i, int high1, int high2, int low1, int low2) {
        const auto at = std::size_t(4 * i + 13);
        return byte(at, high1).byte(at + 1, high2).byte(at + 2, low1).byte(at + 3, low2);
    }
};

} // namespace vantrell::testing

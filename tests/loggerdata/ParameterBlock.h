// Parameter block answers built byte by byte, so that decoding is tested against the layout
// as the logger sends it and not against another encoder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrell::testing {

struct ParameterBlock {
    std::string bytes = std::string(151, ' ');

    ParameterBlock &byte(std::size_t position, int value) {
        bytes[position - 1] = static_cast<char>(value);
        return *this;
    }
    // Channel record i: unit index, name, range code, decimals, scale start, scale end.
    ParameterBlock &channel(int i, std::string_view fields) {
        bytes.replace(std::size_t(27 * i + 6), fields.size(), fields);
        return *this;
    }
    ParameterBlock &limits(int i, int high1, int high2, int low1, int low2) {
        const auto at = std::size_t(4 * i + 13);
        return byte(at, high1).byte(at + 1, high2).byte(at + 2, low1).byte(at + 3, low2);
    }
};

} // namespace vantrell::testing

// The station's end of a simulated line for the simulator's own tests: send bytes, let virtual
// time pass, read what came back.
#pragma once

#include "general/Text.h"
#include "sim/SimPort.h"
#include "sim/World.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::sim::testing {

inline std::string bytes(std::initializer_list<int> codes) {
    std::string out;
    for (int c : codes)
        out += static_cast<char>(c);
    return out;
}

inline std::string hexOf(std::string_view text) {
    std::string out;
    for (unsigned char c : text)
        out += (out.empty() ? "" : " ") + hex2(c);
    return out;
}

// The parts of a text between "|" characters: a table row's steps, in one string.
inline std::vector<std::string> parts(std::string_view text) {
    std::vector<std::string> out;
    for (std::size_t start = 0, end = 0; end != std::string_view::npos; start = end + 1) {
        end = text.find('|', start);
        out.emplace_back(text.substr(start, end - start));
    }
    return out;
}

class SimBench {
public:
    World world;
    SimPort port{world};

    void attach(Device &device) {
        port.attach(device);
        ASSERT_EQ(port.open(1), PortError::none);
    }

    // Sends `request`, lets `seconds` of virtual time pass and returns every byte that came back.
    std::string ask(std::string_view request, double seconds = 1.0) {
        EXPECT_TRUE(port.write(request));
        world.runFor(seconds);
        return port.read(0);
    }
};

} // namespace vantrell::sim::testing

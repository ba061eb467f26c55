// A Station on a simulated line in virtual time, with its own scratch folder, for the logger
// data tests.
#pragma once

#include "config/Station.h"
#include "general/Dialogs.h"
#include "general/Progress.h"
#include "sim/SimPort.h"
#include "sim/World.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vantrell::testing {

inline std::filesystem::path scratchFolder() {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name =
        std::string("vantrell-loggerdata-") + info->test_suite_name() + "-" + info->name();
    for (char &c : name)
        if (c == '/')
            c = '_';
    const auto dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string fileBytes(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

struct TestStation {
    TestStation() {
        station.cycleDevice = 1;
        station.session.loggerIndex = 1;
        station.cycleRecord().serialNumber(1) = "KV12345678";
        station.cycleRecord()[field::dataDirectory] = folder.string();
        station.cycleRecord()[field::savingMode] = "0";
    }
    ~TestStation() { std::filesystem::remove_all(folder); }

    sim::World world{};
    sim::VirtualEventPump pump{world};
    sim::SimPort port{world};
    RecordingProgress progress;
    RecordingDialogs dialogs;
    std::filesystem::path folder = scratchFolder();
    Station station{{world.clock(), pump, port, progress, dialogs}, folder};
};

} // namespace vantrell::testing

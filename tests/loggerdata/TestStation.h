// A Station on a simulated line in virtual time, with its own scratch folder as data folder.
#pragma once

#include "RecordingDialogs.h"
#include "RecordingProgress.h"
#include "config/SessionRequest.h"
#include "config/Station.h"
#include "loggerdata/LoggerResult.h"
#include "sim/SimPort.h"
#include "sim/World.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace vantrell::testing {

inline std::string fileBytes(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct TestStation {
    TestStation() {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        request.record.serialNumber(1) = "KV12345678";
        request.record[field::dataDirectory] = folder.string();
        request.record[field::savingMode] = "0";
    }
    ~TestStation() { std::filesystem::remove_all(folder); }

    sim::World world{};
    sim::VirtualEventPump pump{world};
    sim::SimPort port{world};
    RecordingProgress progress;
    RecordingDialogs dialogs;
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("vantrell-loggerdata-" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    Station station{{world.clock(), pump, port, progress, dialogs}, folder};
    SessionRequest request{};
    LoggerResult loggerResult{};
};

} // namespace vantrell::testing

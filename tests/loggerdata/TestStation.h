// A Station on a simulated line in virtual time, with a scratch folder of its own as its
// configuration and data folder, and the request and result of one logger's session.
#pragma once

#include "StationBench.h"
#include "TempFolder.h"
#include "config/ConfigStation.h"
#include "config/SessionRequest.h"
#include "loggerdata/LoggerResult.h"

#include <filesystem>

namespace vantrell::testing {

struct ScratchFolder {
    TempFolder scratch;
};

struct TestStation : ScratchFolder, StationBench {
    TestStation() : StationBench({2026, 2, 3, 9, 5, 0}, scratch.path()) {
        request.record.serialNumber(1) = "KV12345678";
        request.record[field::dataDirectory] = folder.string();
        request.record[field::savingMode] = "0";
    }

    const std::filesystem::path folder = scratch.path();
    SessionRequest request{};
    LoggerResult loggerResult{};
};

} // namespace vantrell::testing

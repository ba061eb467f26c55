// A configuration folder whose vantrell.conf turns the journal on, and whose journal the test
// fills through the journal's own interface, for the programs that only read it.
#pragma once

#include "Programs.h"
#include "TempFolder.h"
#include "config/ConfigStation.h"
#include "journal/Journal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace vantrell::testing {

// The expected local times are those of the station's zone in winter (+01:00).
inline void useStationZone() {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
}

struct JournalFolder {
    JournalFolder() {
        useStationZone();
        initFolder(config);
        test::writeBytes(config / "vantrell.conf", "[journal]\n");
        EXPECT_EQ(Journal::open(file, Journal::Access::write, journal).text, "");
    }

    void addDevice(int slot, const std::string &connection, bool active) {
        editDevice(config, slot, [&](DeviceRecord &d) {
            test::setFields(d, std::string("active=") + (active ? "1" : "0") + " connection=" +
                                   connection + " description=device" + std::to_string(slot));
        });
    }

    void session(int device, UtcSeconds started, const std::string &letter, int records = 0) {
        const SessionRow row{device, 1, started, started + 40, letter, records, {}, 1};
        EXPECT_EQ(journal->recordSession(row).text, "");
    }

    std::vector<std::string> vantrelld(std::vector<std::string> arguments) const {
        return testing::vantrelld(config, std::move(arguments));
    }

    TempFolder folder;
    std::filesystem::path config = folder.path();
    std::filesystem::path file = config / "journal.sqlite";
    std::unique_ptr<Journal> journal;
};

} // namespace vantrell::testing

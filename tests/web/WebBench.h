// A station in virtual time with its journal and the status page served from it on a free
// loopback port, and a client to ask it.
#pragma once

#include "FreePort.h"
#include "cycle/CycleBench.h"
#include "cycle/StationSnapshot.h"
#include "journal/JournalFixture.h"
#include "web/StatusServer.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace vantrell::testing {

inline ConfSettings journalAndPage() {
    ConfSettings settings;
    settings.journal = JournalSettings{};
    settings.web = WebSettings{};
    return settings;
}

struct WebBench : CycleBench {
    explicit WebBench(const std::string &description = "Pegel Mühlbach")
        : CycleBench({2026, 2, 3, 9, 5, 0}, journalAndPage()) {
        DeviceRecord &first = configure(1, "LOCAL", {"KV12345678"}, false);
        first[field::description] = description;
        first[field::scheduleSlot1] = "1";
        configure(2, "0761 123456", {"KV87654321"}, false)[field::description] = "Quelle Nord";
        station.scheduleTimes[1] = "8";
        saveConfiguration();
    }

    void publish(std::vector<std::string> lines = {}) {
        schedule.previewCountdown();
        snapshots.publish(takeSnapshot(station, schedule, std::move(lines)));
    }

    // `days` of 10-minute readings on four channels of device 1, up to now by the wall clock: the
    // browser asks for the last days as it sees them.
    void fillJournal(int days, const std::string &serial = "KV12345678") {
        ASSERT_NE(journal.journal(), nullptr);
        const std::vector<Reading> readings =
            memory(days * 144, toLocal(std::time(nullptr) - days * 86400LL));
        StoredReadings stored;
        ASSERT_FALSE(journal.journal()->recordReadings(batchOf(readings, 1, serial), stored));
        const UtcSeconds now = std::time(nullptr);
        for (int k = 1; k <= 3; ++k)
            ASSERT_FALSE(journal.journal()->recordSession(
                {1, 1, now - k * 86400, now - k * 86400 + 40, "X", 144, "data.dat", 1}));
    }

    // Serves the page; the same settings file as the station's, with `web` in it.
    void serve(WebSettings web = {}) {
        port = freePort();
        web.listen = "127.0.0.1:" + std::to_string(port);
        ConfSettings settings = journalAndPage();
        settings.web = web;
        server =
            std::make_unique<StatusServer>(StatusSources{&snapshots, folder.path(), settings}, web);
        ASSERT_EQ(server->start(), "");
    }

    httplib::Client client() const {
        httplib::Client c("127.0.0.1", port);
        c.set_connection_timeout(5);
        c.set_read_timeout(10);
        return c;
    }

    SnapshotBox snapshots;
    std::unique_ptr<StatusServer> server;
    int port = 0;
};

} // namespace vantrell::testing

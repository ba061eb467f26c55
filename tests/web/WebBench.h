// A station in virtual time with its journal and the status page served from it on a free
// loopback port, and a client to ask it.
#pragma once

#include "FreePort.h"
#include "cycle/CycleBench.h"
#include "cycle/StationSnapshot.h"
#include "journal/JournalFixture.h"
#include "journal/LocalTime.h"
#include "web/StatusServer.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantrell::testing {

inline ConfSettings journalAndPage() {
    ConfSettings settings;
    settings.journal = JournalSettings{};
    settings.web = WebSettings{};
    settings.station = "hall";
    return settings;
}

// A socket connecting (or, non-blocking, on its way) to the page's port.
inline int connectedSocket(int port, int flags = 0) {
    const int s = ::socket(AF_INET, SOCK_STREAM | flags, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    (void)::connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address);
    return s;
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

    UtcSeconds stationNow() { return toUtc(world.clock().localNow()).utc; }

    // `days` of 10-minute readings on four channels of device 1 up to now by the wall clock, as
    // the browser asks for the last days by its own; sessions of device 1 on each of the station's
    // last three days, and one of device 2 a day before the week the page lists.
    void fillJournal(int days, const std::string &serial = "KV12345678") {
        ASSERT_NE(journal.journal(), nullptr);
        const std::vector<Reading> readings =
            memory(days * 144, toLocal(std::time(nullptr) - days * 86400LL));
        StoredReadings stored;
        ASSERT_FALSE(journal.journal()->recordReadings(batchOf(readings, 1, serial), stored));
        for (const auto &[device, day] : {std::pair{1, 1}, {1, 2}, {1, 3}, {2, 8}}) {
            const UtcSeconds ended = stationNow() - day * 86400;
            ASSERT_FALSE(
                journal.journal()->recordSession({device, 1, ended - 40, ended, "X", 144, "", 1}));
        }
    }

    // Serves the page on the station's clock; the same settings file as the station's, with `web`
    // in it.
    void serve(WebSettings web = {}) {
        port = freePort();
        web.listen = "127.0.0.1:" + std::to_string(port);
        ConfSettings settings = journalAndPage();
        settings.web = web;
        server = std::make_unique<StatusServer>(
            StatusSources{&snapshots, folder.path(), settings, nullptr, "1.0-test"}, web,
            world.clock());
        server->onAnswered(answered);
        ASSERT_EQ(server->start(), "");
    }

    void fillAndServe(int days) {
        fillJournal(days);
        publish();
        serve();
    }

    httplib::Client client() const {
        httplib::Client c("127.0.0.1", port);
        c.set_connection_timeout(5);
        c.set_read_timeout(10);
        return c;
    }

    SnapshotBox snapshots;
    std::function<void(const std::string &)> answered; // for the server to call after each answer
    std::unique_ptr<StatusServer> server;
    int port = 0;
};

} // namespace vantrell::testing

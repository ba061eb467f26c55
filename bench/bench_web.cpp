// What the status page costs through real HTTP on loopback: the readings API for each plot of a
// device with 400 days of 10-minute readings on four channels (target: the page's plots under
// 50 ms), and the station page (target: under 10 ms) and a device page (under 50 ms) while the
// station's loop writes a session to the journal and publishes its snapshot.
#include "FreePort.h"
#include "TenMinuteReadings.h"
#include "cycle/StationSnapshot.h"
#include "journal/Journal.h"
#include "web/StatusServer.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>

namespace vantrell {
namespace {

namespace fs = std::filesystem;

constexpr int days = 400;
constexpr int perDay = 144;

LoggerReadings batchOf(const std::vector<Reading> &readings) {
    LoggerReadings batch;
    batch.device = 1;
    batch.serial = "KV12345678";
    for (int c = 0; c < 4; ++c)
        batch.channels[std::size_t(c)] = {true, "Kanal " + std::to_string(c + 1), "°C"};
    batch.readings = &readings;
    return batch;
}

// A station of fifty devices, the last session's log full.
StationSnapshot busyStation() {
    StationSnapshot s;
    s.stationName = "pegel-nord";
    s.localNow = {2026, 12, 6, 15, 40, 48};
    s.localTime = "2026-12-06T15:40:48+01:00";
    s.timeZone = "CET";
    s.nextTime = "2026-12-06T18:00:00+01:00";
    s.times = {"08:00", "12:00", "18:00", ""};
    for (int d = 1; d <= 50; ++d)
        s.devices.push_back({d,
                             "Pegel " + std::to_string(d),
                             "0761 1234" + std::to_string(d),
                             true,
                             {true, true, true, false},
                             {"X", "C", "", ""},
                             {d == 1 ? "KV12345678" : "KV" + std::to_string(12345600 + d)}});
    for (std::size_t k = 0; k < LogRing::capacity; ++k)
        s.logLines.push_back("Reading records ... " + std::to_string(k));
    return s;
}

struct Server {
    Server() : folder(fs::temp_directory_path() / "vantrell-bench-web") {
        fs::remove_all(folder);
        fs::create_directories(folder);
        settings.journal = JournalSettings{};
        settings.web = WebSettings{};
        settings.web->listen = "127.0.0.1:" + std::to_string(testing::freePort());
        (void)Journal::open(folder / settings.journalSettings().file, Journal::Access::write,
                            writer);
        const std::vector<Reading> readings =
            testing::tenMinuteReadings(toLocal(std::time(nullptr) - days * 86400LL), days * perDay);
        StoredReadings stored;
        (void)writer->recordReadings(batchOf(readings), stored);
        snapshots.publish(busyStation());
        server = std::make_unique<StatusServer>(
            StatusSources{&snapshots, folder, settings, nullptr, "bench"}, *settings.web);
        (void)server->start();
    }
    ~Server() {
        server.reset();
        writer.reset();
        fs::remove_all(folder);
    }

    httplib::Client client() const { return httplib::Client("127.0.0.1", server->port()); }

    fs::path folder;
    ConfSettings settings;
    std::unique_ptr<Journal> writer;
    SnapshotBox snapshots;
    std::unique_ptr<StatusServer> server;
};

Server &server() {
    static Server s;
    return s;
}

// The four plots of a device page over one range (0: all), as the page script asks for them.
void devicePlots(benchmark::State &state) {
    httplib::Client client = server().client();
    const long long range = state.range(0);
    std::size_t points = 0;
    for (auto _ : state) {
        for (int channel = 1; channel <= 4; ++channel) {
            std::string path =
                "/api/readings?device=1&serial=KV12345678&channel=" + std::to_string(channel);
            if (range > 0)
                path += "&since=" + std::to_string(std::time(nullptr) - range * 86400);
            const auto answer = client.Get(path);
            if (!answer || answer->status != 200)
                state.SkipWithError("no answer");
            else
                points = answer->body.size();
        }
    }
    state.counters["answer_bytes"] = double(points);
}
BENCHMARK(devicePlots)->Arg(1)->Arg(7)->Arg(30)->Arg(0)->Unit(benchmark::kMillisecond);

// A page while a session writes to the journal and publishes its steps.
void pageDuringSession(benchmark::State &state, const char *path) {
    Server &s = server();
    std::atomic<bool> running{true};
    std::thread session([&s, &running] {
        std::unique_ptr<Journal> loop;
        (void)Journal::open(s.folder / s.settings.journalSettings().file, Journal::Access::write,
                            loop);
        UtcSeconds next = std::time(nullptr);
        while (running) {
            const std::vector<Reading> readings = testing::tenMinuteReadings(toLocal(next), 100);
            next += 100 * 600;
            StoredReadings stored;
            (void)loop->recordReadings(batchOf(readings), stored);
            s.snapshots.publish(busyStation());
        }
    });
    httplib::Client client = s.client();
    for (auto _ : state) {
        const auto answer = client.Get(path);
        if (!answer || answer->status != 200)
            state.SkipWithError("no answer");
    }
    running = false;
    session.join();
}
BENCHMARK_CAPTURE(pageDuringSession, station, "/")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(pageDuringSession, device, "/device/1")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
} // namespace vantrell

BENCHMARK_MAIN();

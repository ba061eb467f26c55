// The metrics file as a Prometheus collector reads it: every line must pass the exposition
// format's rules, or the collector drops the whole file and the operator's alerting goes blind.
// Its counters must come from the journal and never go down, across restarts and pruning.
#include "publish/MetricsFile.h"
#include "cycle/CycleBench.h"
#include "journal/JournalFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace vantrell {
namespace {

using testing::CycleBench;
using testing::loggerWith;

// The samples of a text file in the exposition format, by series ("name{a=\"v\",b=\"w\"}" with
// the label values unescaped), each rule broken a test failure.
std::map<std::string, double> parseExposition(const std::string &text) {
    static const std::regex help(R"(# HELP ([a-zA-Z_:][a-zA-Z0-9_:]*) (.*))");
    static const std::regex type(R"(# TYPE ([a-zA-Z_:][a-zA-Z0-9_:]*) (counter|gauge))");
    static const std::regex sample(R"(([a-zA-Z_:][a-zA-Z0-9_:]*)(\{(.*)\})? (-?[0-9.e+]+))");
    static const std::regex label(R"(([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\\n]|\\[\\"n])*)\"(,|$))");
    std::map<std::string, double> samples;
    std::set<std::string> helped, typed, finished;
    std::string current; // the family whose samples come now
    std::istringstream lines(text);
    std::smatch m;
    EXPECT_TRUE(text.ends_with("\n"));
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_match(line, m, help)) {
            EXPECT_TRUE(helped.insert(m[1]).second && !finished.contains(m[1])) << line;
        } else if (std::regex_match(line, m, type)) {
            EXPECT_TRUE(typed.insert(m[1]).second) << "second TYPE: " << line;
            EXPECT_EQ(m[2] == "counter", std::string(m[1]).ends_with("_total")) << line;
            finished.insert(current);
            current = m[1];
        } else if (std::regex_match(line, m, sample)) {
            EXPECT_TRUE(m[1] == current && helped.contains(m[1])) << "out of its family: " << line;
            std::string series = std::string(m[1]) + "{", labels = m[3];
            std::set<std::string> names;
            for (std::smatch l;
                 std::regex_search(labels, l, label, std::regex_constants::match_continuous);
                 labels = l.suffix()) {
                EXPECT_TRUE(names.insert(l[1]).second) << "repeated label: " << line;
                std::string value =
                    std::regex_replace(std::string(l[2]), std::regex(R"(\\n)"), "\n");
                value = std::regex_replace(value, std::regex(R"(\\(["\\]))"), "$1");
                series += std::string(l[1]) + "=\"" + value + "\",";
            }
            EXPECT_TRUE(labels.empty()) << "bad labels: " << line;
            if (series.back() == ',')
                series.pop_back();
            EXPECT_TRUE(samples.emplace(series + "}", std::stod(m[4])).second) << "twice: " << line;
        } else {
            ADD_FAILURE() << "not a line of the format: " << line;
        }
    }
    return samples;
}

TEST(MetricsFile, LabelValuesAreEscapedAndReadBackAsTheyWere) {
    // A plain letter, a double quote, a backslash, a line break and more.
    for (const std::string letter : {"X", "\"", "\\", "a\\\"\nb"}) {
        StationCounts counts;
        counts.devices.emplace_back().device = 7;
        counts.devices.back().sessionsByLetter = {{letter, 3}};
        const std::string text = metricsText(counts, 0, letter);
        EXPECT_NE(text.find(": X done successfully; M modem not ready or line in use; "),
                  std::string::npos)
            << "the letters in words, spelled right";
        const auto samples = parseExposition(text);
        const std::string series = "{station=\"" + letter + "\",device=\"7\",letter=\"" + letter;
        EXPECT_EQ(samples.count("vantrell_sessions_total" + series + "\"}"), 1u) << letter;
    }
}

// Three devices through four schedule times: device 1 healthy and then stopped at shutdown,
// device 2 with a silent logger, device 3 cut short until its logger is healthy again.
struct MixedDay : CycleBench {
    MixedDay() : CycleBench({2026, 2, 3, 3, 0, 0}, settings()) {
        for (int slot = 1; slot <= 3; ++slot)
            configure(slot, "locl0000", {"KV0000000" + std::to_string(slot)}, false);
    }

    static ConfSettings settings() {
        ConfSettings s;
        s.metrics = MetricsSettings{"vantrell.prom"};
        return s;
    }

    void read(int slot, int time, sim::Logger &logger, bool stop = false) {
        port.attach(logger);
        station.session.stopRequested = stop;
        (void)CycleBench::read(slot, time);
        station.session.stopRequested = false;
        world.runFor(3600);
    }

    void runDay() {
        auto &healthy = addLogger(loggerWith("KV00000001", 20));
        auto &silent = addLogger(loggerWith("KV00000002", 20, {{sim::FaultKind::silent, 0}}));
        auto &cut =
            addLogger(loggerWith("KV00000003", 20, {{sim::FaultKind::stopsAfterRecord, 8}}));
        auto &mended = addLogger(loggerWith("KV00000003", 20));
        for (int time = 1; time <= 4; ++time) {
            read(1, time, healthy, time == 4);
            read(2, time, silent);
            read(3, time, time == 4 ? mended : cut);
        }
    }
};

TEST(MetricsFile, ADayOfMixedOutcomesCountedFromTheJournal) {
    MixedDay b;
    b.runDay();
    Journal &journal = *b.journal.journal();
    for (const DeliveryState state :
         {DeliveryState::pending, DeliveryState::sent, DeliveryState::pending}) {
        DeliveryRow row;
        row.state = state;
        ASSERT_FALSE(journal.addDelivery(row));
    }
    MetricsFile metrics(b.station, b.journal, *b.settings().metrics, "hall",
                        [](Journal &) { return std::int64_t(7); });
    metrics.refresh();
    const std::string written = b.file("vantrell.prom");
    const auto samples = parseExposition(written);

    // Every series names its station; the build's own names its version too.
    std::map<std::string, double> expected = {
        {R"(vantrell_build_info{station="hall",version=")" VANTRELL_VERSION R"("})", 1},
        {R"(vantrell_sessions_total{station="hall",device="1",letter="X"})", 3},
        {R"(vantrell_sessions_total{station="hall",device="2",letter="S"})", 4},
        {R"(vantrell_sessions_total{station="hall",device="3",letter="I"})", 3},
        {R"(vantrell_sessions_total{station="hall",device="3",letter="X"})", 1},
        // Every session reads the unerased memory whole; a cut one 8 records in each of its
        // three attempts.
        {R"(vantrell_records_read_total{station="hall",device="1"})", 60},
        {R"(vantrell_records_read_total{station="hall",device="2"})", 0},
        {R"(vantrell_records_read_total{station="hall",device="3"})", 3 * 24 + 20},
        {R"(vantrell_missed_times{station="hall",device="1"})", 0},
        {R"(vantrell_missed_times{station="hall",device="2"})", 4},
        {R"(vantrell_missed_times{station="hall",device="3"})", 0},
        {R"(vantrell_outbox_pending{station="hall"})", 2},
        {R"(vantrell_mqtt_unpublished{station="hall"})", 7},
    };
    for (int device = 1; device <= 3; ++device) {
        DeviceJournal seen;
        ASSERT_FALSE(journal.deviceJournal(device, seen));
        const std::string label = "{station=\"hall\",device=\"" + std::to_string(device) + "\"}";
        expected["vantrell_last_session_timestamp_seconds" + label] =
            double(seen.lastSession->ended);
        if (seen.lastGoodRead)
            expected["vantrell_last_success_timestamp_seconds" + label] =
                double(*seen.lastGoodRead);
    }
    EXPECT_EQ(samples, expected);

    // The journal of an older station, which kept no totals: they start from its sessions.
    EXPECT_EQ(testing::RawConnection(b.journal.file())
                  .run("DROP TRIGGER sessions_counted; DROP TABLE session_totals; "
                       "DROP TABLE unpublished; DROP TABLE alarms; PRAGMA user_version = 2"),
              "");
    std::unique_ptr<Journal> migrated;
    ASSERT_FALSE(Journal::open(b.journal.file(), Journal::Access::write, migrated));
    StationCounts counts;
    ASSERT_FALSE(migrated->stationCounts(counts));
    EXPECT_EQ(metricsText(counts, 7, "hall"), written);

    // A restart after everything was pruned: the counters go on from where they were.
    ASSERT_FALSE(journal.prune(std::numeric_limits<UtcSeconds>::max()));
    std::filesystem::remove(b.folder / "vantrell.prom");
    MetricsFile restarted(b.station, b.journal, *b.settings().metrics, "hall",
                          [](Journal &) { return std::int64_t(7); });
    restarted.refresh();
    EXPECT_EQ(b.file("vantrell.prom"), written);
}

TEST(MetricsFile, AFolderThatCannotBeWrittenIsSaidOncePerScheduleTime) {
    for (const bool folderIsAFile : {false, true}) {
        SCOPED_TRACE(folderIsAFile ? "a file stands where the folder should be"
                                   : "the folder is missing");
        CycleBench b({2026, 2, 3, 9, 5, 0}, MixedDay::settings());
        const std::filesystem::path folder = b.folder / "metrics";
        if (folderIsAFile)
            std::ofstream(folder) << "not a folder";
        MetricsFile metrics(b.station, b.journal, MetricsSettings{"metrics/vantrell.prom"}, "hall");
        const auto lines = [&b] { return b.linesStarting("metrics "); };
        b.station.session.dailyMarkIndex = 1;
        metrics.refresh();
        metrics.refresh();
        EXPECT_EQ(lines(), 1);
        b.station.session.dailyMarkIndex = 3;
        metrics.refresh();
        EXPECT_EQ(lines(), 2);

        // Mended, the next refresh writes it, and says nothing more.
        std::filesystem::remove(folder);
        std::filesystem::create_directory(folder);
        metrics.refresh();
        EXPECT_EQ(lines(), 2);
        EXPECT_TRUE(std::filesystem::exists(folder / "vantrell.prom"));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1)
            << "a temporary file left behind";
    }
}

} // namespace
} // namespace vantrell

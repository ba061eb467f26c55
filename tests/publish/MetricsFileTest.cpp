// The metrics file as a Prometheus collector reads it: every line must pass the exposition
// format's rules, or the collector drops the whole file and the operator's alerting goes blind.
// Its counters must come from the journal and never go down, across restarts and pruning.
#include "publish/MetricsFile.h"
#include "cycle/CycleBench.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

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
    std::map<std::string, std::string> typeOf;
    std::set<std::string> helped, finished;
    std::string current; // the family whose samples come now
    std::istringstream lines(text);
    std::string line;
    std::smatch m;
    EXPECT_TRUE(text.ends_with("\n"));
    while (std::getline(lines, line)) {
        if (std::regex_match(line, m, help)) {
            EXPECT_TRUE(helped.insert(m[1]).second) << "second HELP: " << line;
            EXPECT_FALSE(finished.contains(m[1])) << "HELP after samples: " << line;
        } else if (std::regex_match(line, m, type)) {
            EXPECT_TRUE(typeOf.emplace(m[1], m[2]).second) << "second TYPE: " << line;
            EXPECT_EQ(m[2] == "counter", std::string(m[1]).ends_with("_total")) << line;
            if (!current.empty())
                finished.insert(current);
            current = m[1];
        } else if (std::regex_match(line, m, sample)) {
            const std::string name = m[1];
            EXPECT_EQ(name, current) << "sample outside its family: " << line;
            EXPECT_TRUE(helped.contains(name)) << line;
            std::string series = name + "{";
            std::string labels = m[3];
            std::smatch l;
            std::set<std::string> names;
            while (std::regex_search(labels, l, label, std::regex_constants::match_continuous) &&
                   l.length() > 0) {
                EXPECT_TRUE(names.insert(l[1]).second) << "repeated label: " << line;
                std::string value = l[2];
                value = std::regex_replace(value, std::regex(R"(\\n)"), "\n");
                value = std::regex_replace(value, std::regex(R"(\\(["\\]))"), "$1");
                series += std::string(l[1]) + "=\"" + value + "\",";
                labels = l.suffix();
            }
            EXPECT_TRUE(labels.empty()) << "bad labels: " << line;
            if (series.back() == ',')
                series.pop_back();
            series += "}";
            EXPECT_TRUE(samples.emplace(series, std::stod(m[4])).second) << "twice: " << line;
        } else {
            ADD_FAILURE() << "not a line of the format: " << line;
        }
    }
    return samples;
}

std::string fileText(const std::filesystem::path &file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MetricsFile, LabelValuesAreEscapedAndReadBackAsTheyWere) {
    const struct {
        const char *legend;
        std::string letter;
    } cases[] = {
        {"a plain letter", "X"},
        {"a double quote", "\""},
        {"a backslash", "\\"},
        {"a line break and more", "a\\\"\nb"},
    };
    for (const auto &c : cases) {
        StationCounts counts;
        DeviceCounts device;
        device.device = 7;
        device.sessionsByLetter = {{c.letter, 3}};
        counts.devices.push_back(device);
        const auto samples = parseExposition(metricsText(counts, 0));
        EXPECT_EQ(
            samples.count("vantrell_sessions_total{device=\"7\",letter=\"" + c.letter + "\"}"), 1u)
            << c.legend;
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
    MetricsFile metrics(b.station, b.journal, *b.settings().metrics,
                        [](Journal &) { return std::int64_t(7); });
    metrics.refresh();
    const std::string written = fileText(b.folder / "vantrell.prom");
    const auto samples = parseExposition(written);

    std::map<std::string, double> expected = {
        {R"(vantrell_sessions_total{device="1",letter="X"})", 3},
        {R"(vantrell_sessions_total{device="2",letter="S"})", 4},
        {R"(vantrell_sessions_total{device="3",letter="I"})", 3},
        {R"(vantrell_sessions_total{device="3",letter="X"})", 1},
        // Every session reads the unerased memory whole; a cut one 8 records in each of its
        // three attempts.
        {R"(vantrell_records_read_total{device="1"})", 60},
        {R"(vantrell_records_read_total{device="2"})", 0},
        {R"(vantrell_records_read_total{device="3"})", 3 * 24 + 20},
        {R"(vantrell_missed_times{device="1"})", 0},
        {R"(vantrell_missed_times{device="2"})", 4},
        {R"(vantrell_missed_times{device="3"})", 0},
        {R"(vantrell_outbox_pending{})", 2},
        {R"(vantrell_mqtt_unpublished{})", 7},
    };
    for (int device = 1; device <= 3; ++device) {
        DeviceJournal seen;
        ASSERT_FALSE(journal.deviceJournal(device, seen));
        const std::string label = "{device=\"" + std::to_string(device) + "\"}";
        expected["vantrell_last_session_timestamp_seconds" + label] =
            double(seen.lastSession->ended);
        if (seen.lastGoodRead)
            expected["vantrell_last_success_timestamp_seconds" + label] =
                double(*seen.lastGoodRead);
    }
    EXPECT_EQ(samples, expected);

    // A restart after everything was pruned: the counters go on from where they were.
    ASSERT_FALSE(journal.prune(std::numeric_limits<UtcSeconds>::max()));
    std::filesystem::remove(b.folder / "vantrell.prom");
    MetricsFile restarted(b.station, b.journal, *b.settings().metrics,
                          [](Journal &) { return std::int64_t(7); });
    restarted.refresh();
    EXPECT_EQ(fileText(b.folder / "vantrell.prom"), written);
}

TEST(MetricsFile, AJournalOfAnOlderStationStartsItsCountersFromItsSessions) {
    MixedDay b;
    b.runDay();
    StationCounts before;
    ASSERT_FALSE(b.journal.journal()->stationCounts(before));
    // The journal as the station before the metrics left it: no totals kept.
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(b.journal.file().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "DROP TRIGGER sessions_counted; DROP TABLE session_totals; "
                           "DROP TABLE unpublished; PRAGMA user_version = 2",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    std::unique_ptr<Journal> migrated;
    ASSERT_FALSE(Journal::open(b.journal.file(), Journal::Access::write, migrated));
    StationCounts after;
    ASSERT_FALSE(migrated->stationCounts(after));
    ASSERT_EQ(after.devices.size(), before.devices.size());
    for (std::size_t k = 0; k < after.devices.size(); ++k) {
        const DeviceCounts &was = before.devices[k], &is = after.devices[k];
        EXPECT_EQ(is.sessionsByLetter, was.sessionsByLetter) << "device " << is.device;
        EXPECT_EQ(is.recordsRead, was.recordsRead) << "device " << is.device;
        EXPECT_EQ(is.lastSession, was.lastSession) << "device " << is.device;
    }
}

TEST(MetricsFile, AFolderThatCannotBeWrittenIsSaidOncePerScheduleTime) {
    const struct {
        const char *legend;
        bool folderIsAFile;
    } cases[] = {
        {"the folder is missing", false},
        {"a file stands where the folder should be", true},
    };
    for (const auto &c : cases) {
        CycleBench b({2026, 2, 3, 9, 5, 0}, MixedDay::settings());
        const std::filesystem::path folder = b.folder / "metrics";
        if (c.folderIsAFile)
            std::ofstream(folder) << "not a folder";
        MetricsFile metrics(b.station, b.journal, MetricsSettings{"metrics/vantrell.prom"});
        const auto lines = [&b] {
            int n = 0;
            for (const std::string &text : b.progress.texts(ProgressLine::detail))
                n += text.starts_with("metrics ");
            return n;
        };
        b.station.session.dailyMarkIndex = 1;
        metrics.refresh();
        metrics.refresh();
        EXPECT_EQ(lines(), 1) << c.legend;
        b.station.session.dailyMarkIndex = 3;
        metrics.refresh();
        EXPECT_EQ(lines(), 2) << c.legend;

        // Mended, the next refresh writes it, and says nothing more.
        std::filesystem::remove(folder);
        std::filesystem::create_directory(folder);
        metrics.refresh();
        EXPECT_EQ(lines(), 2) << c.legend;
        EXPECT_TRUE(std::filesystem::exists(folder / "vantrell.prom")) << c.legend;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1)
            << c.legend << ": a temporary file left behind";
    }
}

} // namespace
} // namespace vantrell

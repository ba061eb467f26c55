#include "ChildProcess.h"
#include "WebBench.h"

#include "config/SetupFiles.h"
#include "cycle/StatusReport.h"
#include "web/LogFolding.h"
#include "web/StationState.h"

#include <nlohmann/json.hpp>
#include <poll.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <thread>
#include <tuple>

namespace vantrell::testing {
namespace {

TEST(StatusServer, AnswersEveryRouteWithItsStatusAndThePolicy) {
    WebBench b;
    b.fillAndServe(2);
    const struct {
        const char *legend, *path;
        int status;
        const char *type = ""; // a prefix of Content-Type; empty: any
        const char *body = ""; // a part of the body
        const char *method = "GET";
    } cases[] = {
        {"the station", "/", 200, "text/html"},
        {"a look without the body", "/", 200, "text/html", "", "HEAD"},
        {"the status object", "/api/status", 200, "application/json"},
        // The week of sessions a device page lists ends at the station's clock, months before the
        // wall clock's now.
        {"a device's sessions of the week", "/device/1", 200, "text/html",
         "<td data-label=\"letter\">X done successfully</td>"},
        {"a device's newest reading per channel", "/device/1", 200, "text/html",
         "<td data-label=\"name\">Kanal 4</td>"},
        {"a device whose last session is older than the week", "/device/2", 200, "text/html",
         "no session in these days"},
        {"a device without readings", "/device/2", 200, "text/html", noReadingsText},
        // What a Prometheus scrapes: the metrics file's text, from the journal.
        {"the metrics", "/metrics", 200, "text/plain; version=0.0.4",
         "\nvantrell_records_read_total{station=\"hall\",device=\"1\"} "},
        {"a free place", "/device/7", 404},
        {"beyond the table", "/device/99", 404},
        {"the plots' script", "/static/device.js", 200, "text/javascript"},
        {"the script that keeps a page up to date", "/static/station.js", 200, "text/javascript"},
        {"Debian's Chart.js", "/static/chart.min.js", 200, "text/javascript"},
        {"a file beside the static ones", "/static/../vantrell.conf", 404},
        {"an encoded climb", "/static/%2e%2e%2fvantrell.conf", 404},
        {"a climb out of the root", "/../../etc/passwd", 404},
        {"an encoded climb to the root", "/%2e%2e/%2e%2e/etc/passwd", 404},
        {"readings without a device", "/api/readings?serial=KV12345678&channel=1", 400},
        {"a fifth channel", "/api/readings?device=1&serial=KV12345678&channel=5", 400},
        {"too many points", "/api/readings?device=1&serial=KV12345678&channel=1&points=5000", 400},
        {"a time that is no number",
         "/api/readings?device=1&serial=KV12345678&channel=1&since=yesterday", 400},
        {"a logger the device never read", "/api/readings?device=2&serial=KV12345678&channel=1",
         200, "application/json", "\"points\":[]"},
        {"a change", "/", 405, "", "", "POST"},
        {"a replacement", "/api/status", 405, "", "", "PUT"},
        {"a removal", "/device/1", 405, "", "", "DELETE"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        httplib::Client client = b.client();
        httplib::Request request;
        request.method = c.method;
        request.path = c.path;
        const httplib::Result answer = client.send(request);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, c.status);
        EXPECT_EQ(answer->get_header_value("Content-Security-Policy"), "default-src 'self'");
        EXPECT_TRUE(answer->get_header_value("Content-Type").starts_with(c.type))
            << answer->get_header_value("Content-Type");
        EXPECT_NE(answer->body.find(c.body), std::string::npos) << answer->body;
    }

    // The status object is the one the commands print.
    const auto answer = b.client().Get("/api/status");
    ASSERT_TRUE(answer);
    const auto got = nlohmann::ordered_json::parse(answer->body);
    nlohmann::ordered_json expected = {{"folder", b.folder.path().string()}};
    expected.update(statusJson(*b.snapshots.current()));
    const JournalView view = readJournalView(b.folder.path(), journalAndPage(), {1, 2});
    addJournalView(expected, view);
    addStationState(expected, *b.snapshots.current(), view, {"off", "1.0-test", {}});
    EXPECT_EQ(got, expected);
    ASSERT_EQ(got["devices"].size(), 2u);
    EXPECT_EQ(got["devices"][0]["last_session"]["letter"], "X");
    EXPECT_EQ(got["devices"][0]["health"], "good");
    EXPECT_EQ(got["station"]["broker"], "off") << "MQTT is not configured";
    EXPECT_NE(got["devices"][0]["last_session"], got["devices"][1]["last_session"]);
    EXPECT_EQ(got["journal"]["state"], "ok");
}

// What arrives on the socket, and the status line it gets (empty: the connection is closed).
std::string statusLineFor(int port, const std::string &bytes) {
    const int s = connectedSocket(port);
    timeval limit{10, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    (void)::send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    std::string answer;
    char chunk[4096];
    for (ssize_t n; (n = ::recv(s, chunk, sizeof chunk, 0)) > 0;)
        answer.append(chunk, std::size_t(n));
    ::close(s);
    return answer.substr(0, answer.find("\r\n"));
}

TEST(StatusServer, RefusesWhatNoBrowserSends) {
    WebBench b;
    b.publish();
    b.serve();
    const struct {
        const char *legend;
        std::string bytes;
        const char *statusLine;
    } cases[] = {
        {"an address of 100 000 characters",
         "GET /" + std::string(100000, 'a') + " HTTP/1.1\r\n\r\n", "HTTP/1.1 414 URI Too Long"},
        {"a change with a body of a megabyte",
         "POST / HTTP/1.1\r\nContent-Length: 1048576\r\n\r\n" + std::string(1048576, 'x'),
         "HTTP/1.1 405 Method Not Allowed"},
        {"a look with a body of a megabyte, never read",
         "GET /api/status HTTP/1.1\r\nContent-Length: 1048576\r\n\r\n" + std::string(1048576, 'x'),
         "HTTP/1.1 200 OK"},
        {"no request line", "\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"a header line of 100 000 characters",
         "GET / HTTP/1.1\r\nX-Long: " + std::string(100000, 'b') + "\r\n\r\n", ""},
        {"a TLS greeting on the plain port",
         std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\r\n\r\n", 13), ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        const std::string got = statusLineFor(b.port, c.bytes);
        if (*c.statusLine)
            EXPECT_EQ(got, c.statusLine);
        else
            EXPECT_TRUE(got.empty() || got.starts_with("HTTP/1.1 4")) << got;
    }
    const auto after = b.client().Get("/");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
}

// A Range header asking `count` times for the whole resource: about 1.2 kB for 400.
std::string rangesOfTheWhole(int count) {
    std::string ranges = "bytes=0-";
    for (int k = 1; k < count; ++k)
        ranges += ",0-";
    return ranges;
}

// Several ranges buy the resource once, on every route and for errors too; one range is a part.
// No answer is larger than the limit.
TEST(StatusServer, ManyRangesGetTheResourceOnce) {
    WebBench b;
    b.fillJournal(1);
    // A session a minute on device 2 all week: its page, over 100 bytes a row, is beyond the limit.
    for (UtcSeconds k = 0; k < UtcSeconds(StatusServer::answerLimit / 100); ++k)
        ASSERT_FALSE(b.journal.journal()->recordSession(
            {2, 1, b.stationNow() - k * 60 - 40, b.stationNow() - k * 60, "X", 144, "", 1}));
    b.publish();
    b.serve();
    const std::string everything = rangesOfTheWhole(400);
    const struct {
        const char *legend, *path;
        std::string range;
        int status;
        std::size_t from = 0; // the part of the answer without a range that comes back
        std::size_t length = std::string::npos;
    } cases[] = {
        {"Debian's Chart.js, 400 times", "/static/chart.min.js", everything, 200},
        {"the station page, 400 times", "/", everything, 200},
        {"the status object, 400 times", "/api/status", everything, 200},
        {"a device that is not there, 400 times", "/device/7", everything, 404},
        {"a page beyond the limit, 400 times", "/device/2", everything, 500},
        {"two small parts", "/static/chart.min.js", "bytes=0-9,100-109", 200},
        {"one part still is one", "/static/chart.min.js", "bytes=100-109", 206, 100, 10},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        const auto whole = b.client().Get(c.path);
        const auto ranged = b.client().Get(c.path, {{"Range", c.range}});
        ASSERT_TRUE(whole && ranged);
        EXPECT_EQ(ranged->status, c.status);
        const std::string expected = whole->body.substr(c.from, c.length);
        EXPECT_EQ(ranged->body.size(), expected.size());
        EXPECT_TRUE(ranged->body == expected);
    }
    const auto unreadable = b.client().Get("/device/7", {{"Range", everything + ",9-1"}});
    ASSERT_TRUE(unreadable);
    EXPECT_EQ(unreadable->status, 416);
    EXPECT_LT(unreadable->body.size(), 100u) << "the refusal, once";
}

TEST(StatusServer, TextsOfConfigurationAndLoggersStayText) {
    WebBench b("<script>alert('Pegel')</script>");
    b.fillJournal(1, "KV<b>1</b>");
    b.station.devices[1].serialNumber(1) = "KV<b>1</b>";
    b.publish({"Verbindung <img src=x onerror=alert(1)>"});
    b.serve();
    for (const char *path : {"/", "/device/1"}) {
        SCOPED_TRACE(path);
        const auto answer = b.client().Get(path);
        ASSERT_TRUE(answer);
        for (const char *markup : {"<script>alert", "<img", "<b>"})
            EXPECT_EQ(answer->body.find(markup), std::string::npos) << markup;
        EXPECT_NE(answer->body.find("&lt;script&gt;alert(&#39;Pegel&#39;)"), std::string::npos);
    }
    // An alarm of device 1 with a configured text: on the station's page and device 1's only.
    JournalView view = readJournalView(b.folder.path(), journalAndPage(), {1, 2});
    view.alarms = {{1, b.stationNow(), 1, 3, "channel alarm", "Pegel <b>hoch</b>", "sent"}};
    const auto s = b.snapshots.current();
    const std::string shown = "<td data-label=\"message\">Pegel &lt;b&gt;hoch&lt;/b&gt;</td>";
    for (const auto &[page, expected] :
         {std::pair{stationPage(*s, view, {}), true},
          std::pair{devicePage(*s, s->devices[0], view, {{}, {}, view.alarms}, {}), true},
          std::pair{devicePage(*s, s->devices[1], view, {{}, {}, view.alarms}, {}), false}})
        EXPECT_EQ(page.find(shown) != std::string::npos, expected) << page;
}

TEST(StatusServer, ServesOverTlsToTheUserOnly) {
    WebBench b;
    ChildProcess openssl({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                          "-days", "1", "-subj", "/CN=127.0.0.1", "-keyout",
                          (b.folder.path() / "web.key").string(), "-out",
                          (b.folder.path() / "web.crt").string()},
                         Launch{true, {}});
    ASSERT_EQ(openssl.wait(60), 0) << openssl.unread();
    { std::ofstream(b.folder.path() / "web.password") << "geheim\n"; }
    b.publish();
    WebSettings web;
    web.certFile = "web.crt";
    web.keyFile = "web.key";
    web.user = "betrieb";
    web.passwordFile = "web.password";
    b.serve(web);
    const struct {
        const char *legend, *user, *password;
        int status;
    } cases[] = {
        {"no credentials", nullptr, nullptr, 401},
        {"a wrong password", "betrieb", "Geheim", 401},
        {"another user", "admin", "geheim", 401},
        {"the user", "betrieb", "geheim", 200},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        httplib::SSLClient tls("127.0.0.1", b.port);
        tls.enable_server_certificate_verification(false);
        if (c.user)
            tls.set_basic_auth(c.user, c.password);
        for (const char *path : {"/", "/api/status", "/static/device.js"}) {
            const auto answer = tls.Get(path);
            ASSERT_TRUE(answer);
            EXPECT_EQ(answer->status, c.status) << path;
        }
        const auto plain = tls.Get("/static/chart.min.js");
        const auto ranged = tls.Get("/static/chart.min.js", {{"Range", rangesOfTheWhole(400)}});
        ASSERT_TRUE(plain && ranged);
        EXPECT_EQ(ranged->status, c.status) << "400 ranges";
        EXPECT_EQ(ranged->body.size(), plain->body.size()) << "400 ranges";
    }
    EXPECT_FALSE(b.client().Get("/")) << "plain HTTP on the TLS port";
}

// 400 days of 10-minute readings on four channels: whatever the range, no answer has more points
// than asked for, and every answer has some.
TEST(StatusServer, ReadingsStayWithinThePointsAskedFor) {
    WebBench b;
    b.fillAndServe(400);
    const std::time_t now = std::time(nullptr);
    const struct {
        const char *legend;
        long long days; // 0: all
        int points;     // 0: the default
        std::size_t most;
    } cases[] = {
        {"a day, every reading", 1, 0, 1000},
        {"a week", 7, 0, 1000},
        {"a month", 30, 0, 1000},
        {"all", 0, 0, 1000},
        {"all, the most allowed", 0, 2000, 2000},
        {"all, a thumbnail", 0, 50, 50},
        {"a day in ten points", 1, 10, 10},
    };
    for (const auto &c : cases)
        for (int channel = 1; channel <= 4; ++channel) {
            SCOPED_TRACE(std::string(c.legend) + ", channel " + std::to_string(channel));
            std::string path =
                "/api/readings?device=1&serial=KV12345678&channel=" + std::to_string(channel);
            if (c.days)
                path += "&since=" + std::to_string(now - c.days * 86400);
            if (c.points)
                path += "&points=" + std::to_string(c.points);
            const auto answer = b.client().Get(path);
            ASSERT_TRUE(answer);
            ASSERT_EQ(answer->status, 200);
            const auto json = nlohmann::json::parse(answer->body);
            EXPECT_LE(json["points"].size(), c.most);
            EXPECT_GT(json["points"].size(), 0u);
            EXPECT_EQ(json["name"], "Kanal " + std::to_string(channel));
            for (const auto &p : json["points"])
                ASSERT_LE(p["min"].get<double>(), p["max"].get<double>());
        }
}

// A thousand connections at once from loopback: the server serves what its pool holds, answers
// the rest 503 at once, never holds more sockets than its cap, and serves normally afterwards.
constexpr int connections = 1000;
// The load is given up by then, answered or not: the test stops by itself.
constexpr auto loadLimit = std::chrono::seconds(15);
// A request opens the journal: its file, write-ahead log and shared memory.
constexpr std::size_t journalDescriptors = 3;

std::size_t openDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

TEST(StatusServerLoad, AThousandConnectionsAtOnce) {
    WebBench b;
    b.fillAndServe(1);
    const std::size_t descriptorsBefore = openDescriptors();

    struct Connection {
        int socket = -1;
        bool sent = false;
        std::string answer;
        bool done = false;
    };
    std::vector<Connection> load(connections);
    for (Connection &c : load)
        c.socket = connectedSocket(b.port, SOCK_NONBLOCK);
    const std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const auto end = std::chrono::steady_clock::now() + loadLimit;
    std::size_t mostDescriptors = 0;
    std::size_t open = load.size();
    while (open > 0 && std::chrono::steady_clock::now() < end) {
        std::vector<pollfd> waits;
        std::vector<Connection *> of;
        for (Connection &c : load)
            if (!c.done) {
                waits.push_back({c.socket, short(c.sent ? POLLIN : POLLOUT), 0});
                of.push_back(&c);
            }
        if (::poll(waits.data(), waits.size(), 100) < 0)
            break;
        for (std::size_t k = 0; k < waits.size(); ++k) {
            Connection &c = *of[k];
            if (waits[k].revents == 0)
                continue;
            if (!c.sent && (waits[k].revents & POLLOUT)) {
                c.sent = ::send(c.socket, request.data(), request.size(), MSG_NOSIGNAL) > 0;
                continue;
            }
            char chunk[4096];
            const ssize_t n = ::recv(c.socket, chunk, sizeof chunk, 0);
            if (n > 0) {
                c.answer.append(chunk, std::size_t(n));
                continue;
            }
            c.done = true;
            --open;
        }
        mostDescriptors = std::max(mostDescriptors, openDescriptors());
    }
    std::map<std::string, int> outcomes;
    for (Connection &c : load) {
        outcomes[c.answer.empty() ? (c.done ? "closed" : "unanswered") : c.answer.substr(9, 3)]++;
        ::close(c.socket);
    }

    EXPECT_GT(outcomes["200"], 0);
    EXPECT_GT(outcomes["503"], 0);
    EXPECT_EQ(outcomes["unanswered"], 0);
    // The test's own sockets, and beyond them no more than the pool holds, the one the
    // accepting thread answers and the directory listed here.
    EXPECT_LE(mostDescriptors, descriptorsBefore + connections +
                                   StatusServer::workers * (1 + journalDescriptors) +
                                   StatusServer::waiting + 2);
    const auto after = b.client().Get("/");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
}

// The page shows what the log got, the newest lines within the ring's bound, and nothing is kept
// back from the log itself.
TEST(LogRing, KeepsTheNewestLinesAndPassesEveryTextOn) {
    const struct {
        const char *legend;
        std::size_t lines;
    } cases[] = {{"a short session", 3},
                 {"exactly full", LogRing::capacity},
                 {"a long transfer", 3 * LogRing::capacity + 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        RecordingProgress log;
        LogRing ring(log);
        for (std::size_t k = 0; k < c.lines; ++k) {
            const std::string line = "line " + std::to_string(k);
            k % 3 == 0 ? ring.service(line) : k % 3 == 1 ? ring.failure(line) : ring.note(line);
        }
        const std::vector<std::string> kept = ring.lines();
        ASSERT_EQ(kept.size(), std::min(c.lines, LogRing::capacity));
        EXPECT_EQ(kept.back(), "line " + std::to_string(c.lines - 1));
        EXPECT_EQ(kept.front(), "line " + std::to_string(c.lines - kept.size()));
        EXPECT_EQ(ring.generation(), c.lines);
        EXPECT_EQ(log.entries().size() + log.notes().size(), c.lines);
    }
}

// Runs of alike lines become one with their count; lines that differ elsewhere stay apart.
TEST(LogFolding, RunsOfAlikeLinesBecomeOne) {
    const struct {
        const char *legend;
        std::vector<std::string> lines, folded;
    } cases[] = {
        {"nothing", {}, {}},
        {"a block count",
         {"Reading", "Saving block no. 1", "Saving block no. 2", "Saving block no. 3", "Saved"},
         {"Reading", "Saving block no. 1 … 3 (3 lines)", "Saved"}},
        {"the same line", {"Channel 2", "Channel 2"}, {"Channel 2 (2 lines)"}},
        {"a number before the last",
         {"Logger 1 block 9", "Logger 2 block 9"},
         {"Logger 1 block 9", "Logger 2 block 9"}},
        {"a line without a number between counts",
         {"Block 1", "Block", "Block 2"},
         {"Block 1", "Block", "Block 2"}},
        {"the number's text around it",
         {"Channel 1 ok", "Channel 4 ok", "Channel 5 failed"},
         {"Channel 1 … 4 ok (2 lines)", "Channel 5 failed"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(foldLog(c.lines), c.folded) << c.legend;
}

// The pages in a real browser: headless Chromium runs the page script against the server and
// the test reads the DOM it leaves, and keeps screenshots of both pages in the build folder.
constexpr const char *chromium = "/usr/bin/chromium";
// Chromium's own start takes most of this; virtual time lets the plots finish without waiting.
constexpr double browserSeconds = 60;

std::string browse(const TempFolder &profile, const std::string &url, std::vector<std::string> what,
                   const char *window = "1280,900", int virtualMilliseconds = 5000) {
    std::vector<std::string> args = {chromium,
                                     "--headless",
                                     "--no-sandbox",
                                     "--disable-gpu",
                                     "--log-level=3",
                                     "--user-data-dir=" + (profile.path() / "chromium").string(),
                                     "--virtual-time-budget=" + std::to_string(virtualMilliseconds),
                                     std::string("--window-size=") + window};
    args.insert(args.end(), what.begin(), what.end());
    args.push_back(url);
    ChildProcess browser(args);
    EXPECT_TRUE(browser.started());
    EXPECT_EQ(browser.wait(browserSeconds), 0) << browser.unread();
    return browser.unread();
}

// Each device row's number, letter and health, as the page left them.
std::map<int, std::pair<std::string, std::string>> rowsOf(const std::string &page) {
    const std::regex row("<tr class=\"device\" data-device=\"(\\d+)\" data-letter=\"(\\w*)\" "
                         "data-health=\"(\\w+)\"");
    std::map<int, std::pair<std::string, std::string>> rows;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), row);
         it != std::sregex_iterator(); ++it)
        rows[std::stoi((*it)[1])] = {(*it)[2], (*it)[3]};
    return rows;
}

TEST(Browser, ShowsTheDevicesTheirHealthAndPlotsEveryChannel) {
    if (!std::filesystem::exists(chromium))
        GTEST_SKIP() << chromium << " is missing (Debian's package chromium): only a browser runs "
                     << "the page script, so the pages cannot be shown here";
    WebBench b;
    b.configure(3, "0761 654321", {"KV11223344"}, false)[field::description] = "Wehr Süd";
    b.configure(4, "0761 111111", {"KV44332211"}, false)[field::description] = "Neu";
    b.fillJournal(3);
    // Channel 1 of device 1 at most 100: its readings of 400 and more are beyond it.
    b.station.setupFileName = setupFileOf(1);
    LoggerSetup limits = loggerSetup(b.station.channelSetup, 1);
    limits.columns[0][setup::absAlarmOn] = "1";
    limits.columns[0][setup::absMinimum] = "0";
    limits.columns[0][setup::absMaximum] = "100";
    ASSERT_FALSE(ChannelSetupFile(b.station).saveLoggerSetup(1, limits));
    const UtcSeconds now = b.stationNow();
    AlarmRow alarm{0, now - 7200, 1, 1, "channel alarm", "KV12345678; Channel 1: 441", "sent"};
    ASSERT_FALSE(b.journal.journal()->recordAlarm(alarm));
    // Device 2 failed its last time, device 3 its last two; device 4 was never read.
    for (const auto &[device, hoursAgo, letter] :
         {std::tuple{2, 1, "C"}, std::tuple{3, 2, "N"}, std::tuple{3, 1, "N"}})
        ASSERT_FALSE(b.journal.journal()->recordSession(
            {device, 1, now - hoursAgo * 3600 - 40, now - hoursAgo * 3600, letter, 0, "", 3}));
    b.publish({"Verbindung mit Gerät 1", "Daten gespeichert"});
    // Once a page has loaded its script, device 1's next session ends with its data not forwarded.
    std::vector<std::string> transfer = {"Verbindung mit Gerät 1"};
    for (int k = 1; k <= 240; ++k)
        transfer.push_back("Saving block no. " + std::to_string(k));
    b.publish(transfer);
    const auto later = b.snapshots.current();
    b.publish({"Verbindung mit Gerät 1", "Daten gespeichert"});
    // `published` also hands the server thread's copy of `later` back to this thread, which
    // frees it at the end.
    std::atomic<bool> armed{false}, published{false};
    b.answered = [&](const std::string &path) {
        std::unique_ptr<Journal> loop;
        if (path != "/static/station.js" || !armed.exchange(false) ||
            Journal::open(b.folder.path() / JournalSettings{}.file, Journal::Access::write, loop) ||
            loop->recordSession({1, 1, now - 40, now, "F", 144, "", 1}))
            return;
        b.snapshots.publish(*later);
        published = true;
    };
    b.serve();
    const std::string root = "http://127.0.0.1:" + std::to_string(b.port);
    TempFolder profile;

    const std::string station = browse(profile, root + "/", {"--dump-dom"});
    using Row = std::pair<std::string, std::string>;
    const std::map<int, Row> before = {
        {1, {"X", "good"}}, {2, {"C", "failed"}}, {3, {"N", "silent"}}, {4, {"", "never"}}};
    EXPECT_EQ(rowsOf(station), before) << station;
    EXPECT_NE(station.find("Pegel Mühlbach"), std::string::npos);
    EXPECT_NE(station.find("silent for 2 times"), std::string::npos);
    EXPECT_NE(station.find("KV12345678; Channel 1: 441"), std::string::npos) << "the week's alarm";
    const std::regex value("class=\"value\" data-limit=\"([a-z ]*)\">(\\d+) °C");
    std::vector<std::string> limitsShown;
    for (auto it = std::sregex_iterator(station.begin(), station.end(), value);
         it != std::sregex_iterator(); ++it)
        limitsShown.push_back((*it)[1]);
    EXPECT_EQ(limitsShown, (std::vector<std::string>{"above limit", "", "", ""})) << station;

    // One poll later, without a reload: the new letter, and the transfer's log in one line.
    armed = true;
    const std::string polled = browse(profile, root + "/", {"--dump-dom"}, "1280,900", 12000);
    EXPECT_TRUE(published) << "the page asked for its script";
    EXPECT_EQ(rowsOf(polled)[1], (Row{"F", "undelivered"})) << polled;
    EXPECT_NE(polled.find("Saving block no. 1 … 240 (240 lines)"), std::string::npos) << polled;
    EXPECT_NE(polled.find(">updated "), std::string::npos) << polled;

    const std::string device = browse(profile, root + "/device/1", {"--dump-dom"});
    const std::regex canvas("<canvas[^>]*data-points=\"(\\d*)\"");
    std::vector<int> points;
    for (auto it = std::sregex_iterator(device.begin(), device.end(), canvas);
         it != std::sregex_iterator(); ++it)
        points.push_back((*it)[1].length() ? std::stoi((*it)[1]) : -1);
    ASSERT_EQ(points.size(), 4u) << device;
    // Three days of 10-minute readings in the week the page opens with: every reading drawn.
    for (int p : points)
        EXPECT_EQ(p, 3 * 144) << device;

    // Headless Chromium's window is at least 500 pixels wide: a phone's 360 are a frame's, in a
    // page of the same site (in a file's frame the plots' script does not run).
    httplib::Server frames;
    frames.Get("/360", [&root](const httplib::Request &request, httplib::Response &response) {
        response.set_content("<!DOCTYPE html><body style=\"margin:0\"><iframe src=\"" + root +
                                 request.get_param_value("page") +
                                 "\" width=\"360\" height=\"3400\"></iframe>",
                             "text/html");
    });
    const int framesPort = frames.bind_to_any_port("127.0.0.1");
    std::thread framing([&frames] { frames.listen_after_bind(); });
    const std::filesystem::path screens = std::filesystem::path(VANTRELL_BINARY_DIR) / "screens";
    std::filesystem::create_directories(screens);
    for (const auto &[page, file, narrow] :
         {std::tuple{"/", "status-page.png", false}, std::tuple{"/", "status-page-360.png", true},
          std::tuple{"/device/1", "status-page-device.png", false},
          std::tuple{"/device/1", "status-page-device-360.png", true}}) {
        std::filesystem::remove(screens / file);
        browse(profile,
               narrow ? "http://127.0.0.1:" + std::to_string(framesPort) + "/360?page=" + page
                      : root + page,
               {"--screenshot=" + (screens / file).string()}, narrow ? "500,3410" : "1280,1300");
        EXPECT_TRUE(std::filesystem::exists(screens / file)) << file;
    }
    frames.stop();
    framing.join();
}

} // namespace
} // namespace vantrell::testing

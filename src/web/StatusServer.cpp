#include "StatusServer.h"

#include "cycle/StatusReport.h"
#include "forwarding/MailHeaders.h"
#include "general/Text.h"
#include "journal/LocalTime.h"
#include "publish/MetricsFile.h"
#include "web/StaticFiles.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>

#include <sys/socket.h>

namespace vantrell {

namespace {

// Compares every byte whatever the first difference, so that the answer's timing does not tell
// how much of a guessed password was right.
bool sameSecret(std::string_view given, std::string_view expected) {
    unsigned char difference = given.size() == expected.size() ? 0 : 1;
    for (std::size_t i = 0; i < expected.size(); ++i)
        difference |=
            static_cast<unsigned char>(static_cast<unsigned char>(i < given.size() ? given[i] : 0) ^
                                       static_cast<unsigned char>(expected[i]));
    return difference == 0;
}

// A browser sends a few hundred bytes; nothing here takes a body.
constexpr std::size_t payloadLimit = 8 * 1024;
// A request that has not arrived in full by then is dropped: a slow client holds a worker.
constexpr time_t readTimeoutSeconds = 5;
constexpr time_t writeTimeoutSeconds = 5;
// httplib listens with a queue of 5: a burst of connections beyond it would wait on their
// kernels' connection retries (1, 3, 7 ... seconds) instead of on the pool.
constexpr int listenQueue = 256;
// The sessions and alarms a device page lists: a week, at most a page of alarms.
constexpr UtcSeconds weekSeconds = 7 * 86400;
constexpr int alarmsShown = 100;
constexpr int defaultPoints = 1000;
constexpr int maxPoints = 2000;

constexpr const char *htmlType = "text/html; charset=utf-8";
constexpr const char *jsonType = "application/json";
// The exposition format Prometheus asks for.
constexpr const char *metricsType = "text/plain; version=0.0.4; charset=utf-8";

// Set while the accepting thread itself answers a connection beyond the cap.
thread_local bool refusing = false;

// httplib's own pool queues without bound, each queued connection an open descriptor. This one
// serves `workers` at a time with `waiting` more in line and answers every other one at once with
// 503 (each connection carries one request, so that answer never lingers).
class BoundedPool final : public httplib::TaskQueue {
public:
    BoundedPool(std::size_t workers, std::size_t waiting) : waiting_(waiting) {
        for (std::size_t i = 0; i < workers; ++i)
            threads_.emplace_back([this] { work(); });
    }

    void enqueue(std::function<void()> task) override {
        {
            const std::lock_guard lock(mutex_);
            if (tasks_.size() < waiting_) {
                tasks_.push_back(std::move(task));
                ready_.notify_one();
                return;
            }
        }
        refusing = true;
        task();
        refusing = false;
    }

    void shutdown() override {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        ready_.notify_all();
        for (std::thread &t : threads_)
            t.join();
    }

private:
    void work() {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
                if (tasks_.empty())
                    return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

    const std::size_t waiting_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::thread> threads_;
    bool stopping_ = false;
};

std::string readFile(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::optional<long long> number(const httplib::Request &request, const char *key) {
    if (!request.has_param(key))
        return std::nullopt;
    const std::string text = request.get_param_value(key);
    long long value = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || stop != text.data() + text.size())
        return std::nullopt;
    return value;
}

void answerProblem(httplib::Response &response, int status, const std::string &text) {
    response.status = status;
    response.set_content(text + "\n", "text/plain; charset=utf-8");
}

// httplib answers every range a request names with a copy of its part, built in memory first: 400
// ranges of the whole of Chart.js in a request of 1.2 kB made an answer of 80 MB, and a header
// line has room for 2700. A request for several ranges gets the whole resource once (200): a
// server may always ignore Range and every client takes the whole, whereas 416 would refuse a
// client that could have used it; no browser asks these pages for several parts. One range stays
// a part (206), never larger than the whole.
// httplib 0.11 reads the ranges before any of our handlers and applies them after the last one;
// the request is its own object, not a constant, so dropping them here is sound.
void ignoreSeveralRanges(const httplib::Request &request) {
    if (request.ranges.size() > 1)
        const_cast<httplib::Request &>(request).ranges.clear();
}

} // namespace

StatusServer::StatusServer(StatusSources sources, WebSettings settings, const Clock &clock)
    : sources_(std::move(sources)), settings_(std::move(settings)), clock_(clock) {}

StatusServer::~StatusServer() {
    stop();
}

std::string StatusServer::start() {
    const std::optional<ListenAddress> address = listenAddress(settings_.listen);
    if (!address)
        return "not an address to listen on: " + settings_.listen;
    if (!settings_.user.empty()) {
        const auto file = sources_.configDir / settings_.passwordFile;
        std::ifstream in(file);
        std::string password;
        if (!in || !std::getline(in, password))
            return "cannot read the password file " + file.string();
        expectedAuthorization_ = "Basic " + base64(settings_.user + ":" + trim(password));
    }
    if (settings_.certFile.empty())
        server_ = std::make_unique<httplib::Server>();
    else {
        const auto cert = sources_.configDir / settings_.certFile;
        const auto key = sources_.configDir / settings_.keyFile;
        server_ = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
        if (!server_->is_valid())
            return "the certificate " + cert.string() + " or its key " + key.string() +
                   " cannot be used";
    }
    chartJs_ = readFile(chartJsFile);
    route();
    if (answered_)
        server_->set_logger([this](const httplib::Request &request, const httplib::Response &) {
            answered_(request.path);
        });
    int listening = -1;
    server_->set_socket_options([&listening](socket_t socket) {
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listening = socket;
    });
    if (!server_->bind_to_port(address->host, address->port))
        return "cannot listen on " + settings_.listen;
    ::listen(listening, listenQueue);
    port_ = address->port;
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    return {};
}

void StatusServer::stop() {
    if (!thread_.joinable())
        return;
    server_->stop();
    thread_.join();
}

JournalView StatusServer::journalView(const StationSnapshot &snapshot) const {
    std::vector<int> devices;
    for (const DeviceSnapshot &d : snapshot.devices)
        devices.push_back(d.number);
    return readJournalView(sources_.configDir, sources_.settings, devices, clock_);
}

// The limits are read only for the devices that have readings to show beside them, each setup
// file once: every slot beyond the tenth shares one.
StationState StatusServer::stationState(const StationSnapshot &snapshot,
                                        const JournalView &view) const {
    StationState state;
    state.version = sources_.version;
    const bool mqttOn = sources_.settings.mqtt && sources_.settings.mqtt->on();
    state.broker = !mqttOn                                                 ? "off"
                   : sources_.brokerConnected && *sources_.brokerConnected ? "connected"
                                                                           : "not connected";
    std::map<std::string, std::optional<DeviceLimits>> files;
    for (const DeviceSnapshot &d : snapshot.devices) {
        const auto latest = view.latest.find(d.number);
        if (latest == view.latest.end() || latest->second.empty())
            continue;
        auto [file, first] = files.try_emplace(setupFileOf(d.number));
        if (DeviceLimits limits; first && !readDeviceLimits(sources_.configDir, d.number, limits))
            file->second = limits;
        if (file->second)
            state.limits[d.number] = *file->second;
    }
    return state;
}

void StatusServer::route() {
    httplib::Server &s = *server_;
    s.new_task_queue = [] { return new BoundedPool(workers, waiting); };
    s.set_payload_max_length(payloadLimit);
    s.set_read_timeout(readTimeoutSeconds);
    s.set_write_timeout(writeTimeoutSeconds);
    s.set_keep_alive_max_count(1);
    s.set_default_headers({{"Content-Security-Policy", "default-src 'self'"},
                           {"X-Content-Type-Options", "nosniff"},
                           {"Referrer-Policy", "no-referrer"},
                           {"Cache-Control", "no-store"}});
    s.set_pre_routing_handler([this](const httplib::Request &request, httplib::Response &response) {
        ignoreSeveralRanges(request);
        if (refusing) {
            answerProblem(response, 503, "busy");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (request.method != "GET" && request.method != "HEAD") {
            response.set_header("Allow", "GET, HEAD");
            answerProblem(response, 405, "read-only");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (!expectedAuthorization_.empty() &&
            !sameSecret(request.get_header_value("Authorization"), expectedAuthorization_)) {
            response.set_header("WWW-Authenticate", "Basic realm=\"vantrell\"");
            answerProblem(response, 401, "who are you?");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // A Range httplib cannot read is answered 416 before any route, and the ranges it read up to
    // the fault would still be applied to this text.
    s.set_error_handler([](const httplib::Request &request, httplib::Response &response) {
        ignoreSeveralRanges(request);
        if (response.body.empty())
            answerProblem(response, response.status, response.status == 404 ? "not found" : "no");
    });
    // Every route's answer is held to answerLimit before httplib frames it.
    const auto serve = [&s](const char *pattern, httplib::Server::Handler handler) {
        s.Get(pattern, [handler = std::move(handler)](const httplib::Request &request,
                                                      httplib::Response &response) {
            handler(request, response);
            if (response.body.size() > answerLimit)
                answerProblem(response, 500, "too large an answer");
        });
    };

    serve("/", [this](const httplib::Request &, httplib::Response &response) {
        const auto snapshot = sources_.snapshots->current();
        const JournalView view = journalView(*snapshot);
        response.set_content(stationPage(*snapshot, view, stationState(*snapshot, view)), htmlType);
    });
    serve("/api/status", [this](const httplib::Request &, httplib::Response &response) {
        const auto snapshot = sources_.snapshots->current();
        const JournalView view = journalView(*snapshot);
        nlohmann::ordered_json status = {{"folder", sources_.configDir.string()}};
        status.update(statusJson(*snapshot));
        addJournalView(status, view);
        addStationState(status, *snapshot, view, stationState(*snapshot, view));
        response.set_content(
            status.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace),
            jsonType);
    });
    serve(R"(/device/(\d{1,2}))", [this](const httplib::Request &request,
                                         httplib::Response &response) {
        const auto snapshot = sources_.snapshots->current();
        const int number = std::stoi(request.matches[1]);
        const auto device =
            std::find_if(snapshot->devices.begin(), snapshot->devices.end(),
                         [number](const DeviceSnapshot &d) { return d.number == number; });
        if (device == snapshot->devices.end())
            return answerProblem(response, 404, "no such device");
        const JournalView view =
            readJournalView(sources_.configDir, sources_.settings, {number}, clock_);
        DeviceHistory history;
        std::unique_ptr<Journal> journal;
        if (sources_.settings.journalOn() &&
            !Journal::open(sources_.configDir / sources_.settings.journalSettings().file,
                           Journal::Access::readOnly, journal)) {
            const UtcSeconds since = toUtc(clock_.localNow()).utc - weekSeconds;
            if (journal->sessionsSince(number, since, history.sessions) ||
                journal->channelsOfDevice(number, history.channels) ||
                journal->alarmsSince(since, number, alarmsShown, history.alarms))
                history = {};
        }
        response.set_content(
            devicePage(*snapshot, *device, view, history, stationState(*snapshot, view)), htmlType);
    });
    serve("/api/readings", [this](const httplib::Request &request, httplib::Response &response) {
        const auto device = number(request, "device");
        const auto channel = number(request, "channel");
        const auto since = number(request, "since");
        const auto until = number(request, "until");
        const auto points = number(request, "points");
        if (!device || *device < 1 || *device > 50 || !channel || *channel < 1 || *channel > 4 ||
            !request.has_param("serial") || (request.has_param("since") && !since) ||
            (request.has_param("until") && !until) || (request.has_param("points") && !points) ||
            (points && (*points < 1 || *points > maxPoints)))
            return answerProblem(response, 400,
                                 "device=1..50, serial, channel=1..4, since and until in epoch "
                                 "seconds, points=1..2000");
        SeriesRequest wanted;
        wanted.serial = request.get_param_value("serial");
        wanted.channel = static_cast<int>(*channel);
        wanted.since = since;
        wanted.until = until;
        wanted.points = points ? static_cast<int>(*points) : defaultPoints;
        Series series;
        series.channel.serial = wanted.serial;
        series.channel.channel = wanted.channel;
        std::unique_ptr<Journal> journal;
        if (sources_.settings.journalOn() &&
            !Journal::open(sources_.configDir / sources_.settings.journalSettings().file,
                           Journal::Access::readOnly, journal)) {
            std::vector<ChannelOfDevice> channels;
            const bool ofDevice =
                !journal->channelsOfDevice(static_cast<int>(*device), channels) &&
                std::any_of(channels.begin(), channels.end(), [&](const ChannelOfDevice &c) {
                    return c.serial == wanted.serial && c.channel == wanted.channel;
                });
            if (ofDevice && journal->readingSeries(wanted, series))
                return answerProblem(response, 503, "the journal cannot be read now");
        }
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const SeriesPoint &p : series.points)
            list.push_back({{"t", p.start * 1000},
                            {"min", p.min},
                            {"max", p.max},
                            {"mean", p.mean},
                            {"count", p.count}});
        const nlohmann::ordered_json answer = {{"device", *device},
                                               {"serial", series.channel.serial},
                                               {"channel", series.channel.channel},
                                               {"name", series.channel.name},
                                               {"unit", series.channel.unit},
                                               {"bucket_seconds", series.bucketSeconds},
                                               {"points", list}};
        response.set_content(
            answer.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace),
            jsonType);
    });
    // For a Prometheus that scrapes the station itself: the text of the metrics file, from the
    // journal, with no folder permission in between.
    serve("/metrics", [this](const httplib::Request &, httplib::Response &response) {
        std::unique_ptr<Journal> journal;
        StationCounts counts;
        if (!sources_.settings.journalOn() ||
            Journal::open(sources_.configDir / sources_.settings.journalSettings().file,
                          Journal::Access::readOnly, journal) ||
            journal->stationCounts(counts))
            return answerProblem(response, 503, "the journal cannot be read now");
        const UnpublishedCount unpublished = unpublishedReadings(sources_.settings);
        response.set_content(
            metricsText(counts, unpublished ? unpublished(*journal) : 0, sources_.settings.station),
            metricsType);
    });
    serve(R"(/static/([a-z.]+))",
          [this](const httplib::Request &request, httplib::Response &response) {
              const std::string name = request.matches[1];
              if (name == "chart.min.js" && !chartJs_.empty())
                  return response.set_content(chartJs_, "text/javascript; charset=utf-8");
              if (const auto file = builtInFile(name))
                  return response.set_content(std::string(file->content), file->type);
              answerProblem(response, 404, "not found");
          });
}

} // namespace vantrell

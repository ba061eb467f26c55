#include "publish/MqttPublisher.h"

#include "config/Tables.h"
#include "general/Clock.h"
#include "journal/Journal.h"
#include "publish/HomeAssistantAnnouncer.h"
#include "publish/MqttMessages.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <pthread.h>
#include <time.h>

namespace vantrell {

namespace {

// Readings in flight at once: enough to keep a broker's line full, few enough that a backlog of
// months stays a bounded amount of memory (and the client library, which walks its list of
// messages in flight at every acknowledgement, cheap). The window is topped up whenever a refill's
// worth is free: a sender that pauses until half of it came back leaves the broker's last
// acknowledgements waiting for a delayed TCP acknowledgement (Nagle), a stall per window.
constexpr std::size_t window = 500;
constexpr std::size_t refill = 50;
// Acknowledged readings are unmarked in batches: one journal transaction per reading would cost
// more than the publishing.
constexpr std::size_t markBatch = 500;
// The journal is looked at this often even when no session says so (the desktop program's own
// sessions, a reading recorded by `vantrelld read`).
constexpr double pollSeconds = 5.0;
// A broker that takes the connection and never answers it, or stops answering pings, is given up
// after these.
constexpr double connectSeconds = 10.0;
constexpr int keepAliveSeconds = 30;
// Back-off between connection attempts, doubling from the first to the last.
constexpr double firstRetrySeconds = 1.0;
constexpr double maxRetrySeconds = 60.0;
// How long a stop waits for the broker to take "offline".
constexpr double goodbyeSeconds = 2.0;
// The longest the thread stays in the client's loop; it bounds how late it notices a session.
constexpr int loopMillis = 100;
// Where the system's certificate authorities live when no ca_file is given.
constexpr const char *systemCertificates = "/etc/ssl/certs";
constexpr const char *keptForLater = "; readings kept for later";
constexpr const char *configsKept = "; the Home Assistant configs on the broker stay as they are";

std::once_flag libraryStarted;

std::filesystem::path fromConfigDir(const std::filesystem::path &configDir,
                                    const std::filesystem::path &file) {
    return file.empty() || file.is_absolute() ? file : configDir / file;
}

std::string firstLine(const std::filesystem::path &file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// One connection to the broker. Each is a fresh client: what a lost connection had in flight is
// sent again from the journal, never behind its back by the client library.
class BrokerConnection {
public:
    enum class State { connecting, connected, refused, lost };

    BrokerConnection(const MqttSettings &settings, const std::string &password,
                     const std::string &stateTopic, const std::filesystem::path &caFile)
        : client_(mosquitto_new(settings.clientId.c_str(), true, this)), qos_(settings.qos) {
        if (client_ == nullptr) {
            fail("cannot make an MQTT client");
            return;
        }
        mosquitto_connect_callback_set(client_, onConnect);
        mosquitto_disconnect_callback_set(client_, onDisconnect);
        mosquitto_publish_callback_set(client_, onPublish);
        mosquitto_message_callback_set(client_, onMessage);
        // The journal's window is the only limit on messages in flight. Without Nagle's delay:
        // a window's last messages would wait for the broker's delayed TCP acknowledgement.
        mosquitto_max_inflight_messages_set(client_, 0);
        mosquitto_int_option(client_, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_will_set(client_, stateTopic.c_str(), int(std::string_view(mqtt::offline).size()),
                           mqtt::offline, qos_, true);
        if (!settings.username.empty())
            mosquitto_username_pw_set(client_, settings.username.c_str(),
                                      password.empty() ? nullptr : password.c_str());
        const auto url = brokerUrl(settings.url);
        if (!url) {
            fail("not a broker address: " + settings.url);
            return;
        }
        if (url->tls) {
            const int rc = caFile.empty() ? mosquitto_tls_set(client_, nullptr, systemCertificates,
                                                              nullptr, nullptr, nullptr)
                                          : mosquitto_tls_set(client_, caFile.c_str(), nullptr,
                                                              nullptr, nullptr, nullptr);
            if (rc != MOSQ_ERR_SUCCESS) {
                fail("TLS cannot be set up: " + std::string(mosquitto_strerror(rc)));
                return;
            }
        }
        const int rc =
            mosquitto_connect_async(client_, url->host.c_str(), url->port, keepAliveSeconds);
        if (rc != MOSQ_ERR_SUCCESS)
            fail(describe(rc));
    }
    ~BrokerConnection() {
        if (client_ != nullptr)
            mosquitto_destroy(client_);
    }
    BrokerConnection(const BrokerConnection &) = delete;
    BrokerConnection &operator=(const BrokerConnection &) = delete;

    State state() const { return state_; }
    const std::string &reason() const { return reason_; }

    void loop(int millis) {
        if (state_ == State::refused || state_ == State::lost)
            return;
        const int rc = mosquitto_loop(client_, millis, 1);
        if (rc != MOSQ_ERR_SUCCESS && state_ != State::refused)
            fail(describe(rc));
    }

    // The message's id, or nothing (and `problem` says why) when the client would not take it.
    std::optional<int> publish(const std::string &topic, const std::string &payload, bool retain,
                               std::string &problem) {
        int mid = 0;
        const int rc = mosquitto_publish(client_, &mid, topic.c_str(), int(payload.size()),
                                         payload.data(), qos_, retain);
        if (rc == MOSQ_ERR_SUCCESS)
            return mid;
        problem = describe(rc);
        if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_ERRNO)
            fail(problem);
        return std::nullopt;
    }

    // What arrives for it comes with takeHeard(); a retained message as well, on subscribing.
    void subscribe(const char *filter, std::string &problem) {
        if (const int rc = mosquitto_subscribe(client_, nullptr, filter, 0); rc != MOSQ_ERR_SUCCESS)
            problem = describe(rc);
    }

    void disconnect() {
        mosquitto_disconnect(client_);
        mosquitto_loop(client_, 0, 1);
    }

    // Message ids the broker acknowledged since the last call.
    std::vector<int> takeAcknowledged() { return std::exchange(acknowledged_, {}); }
    // Messages of its subscriptions since the last call.
    std::vector<RetainedConfig> takeHeard() { return std::exchange(heard_, {}); }

private:
    static std::string describe(int rc) {
        return rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno)) : mosquitto_strerror(rc);
    }
    void fail(std::string reason) {
        state_ = State::lost;
        reason_ = std::move(reason);
    }
    static void onConnect(mosquitto *, void *self, int rc) {
        auto *c = static_cast<BrokerConnection *>(self);
        if (rc == 0) {
            c->state_ = State::connected;
            return;
        }
        c->state_ = State::refused;
        c->reason_ =
            std::string("the broker refused the connection: ") + mosquitto_connack_string(rc);
    }
    static void onDisconnect(mosquitto *, void *self, int rc) {
        auto *c = static_cast<BrokerConnection *>(self);
        if (c->state_ != State::refused)
            c->fail(rc == 0 ? "disconnected" : "connection lost: " + describe(rc));
    }
    static void onPublish(mosquitto *, void *self, int mid) {
        static_cast<BrokerConnection *>(self)->acknowledged_.push_back(mid);
    }
    static void onMessage(mosquitto *, void *self, const mosquitto_message *m) {
        static_cast<BrokerConnection *>(self)->heard_.push_back(
            {m->topic,
             std::string(static_cast<const char *>(m->payload), std::size_t(m->payloadlen))});
    }

    mosquitto *client_;
    int qos_;
    State state_ = State::connecting;
    std::string reason_;
    std::vector<int> acknowledged_;
    std::vector<RetainedConfig> heard_;
};

// The thread's side: the journal, the connection of the moment, and what is in flight on it.
class PublisherRun {
public:
    PublisherRun(const std::filesystem::path &journalFile, const MqttSettings &settings,
                 const std::filesystem::path &configDir, const std::string &password,
                 const PublisherLog &log, const Clock &clock, std::atomic<bool> &connected)
        : clock_(clock), connected_(connected), journalFile_(journalFile), settings_(settings),
          password_(password), caFile_(settings.caFile), log_(log),
          root_(stationTopic(settings.topic, settings.station)), retry_(clock_, 0),
          poll_(clock_, 0), connectLimit_(clock_, connectSeconds) {
        if (settings.homeAssistantDiscovery())
            discovery_.emplace(settings, configDir);
    }

    void sessionEnded() { lookAgain_ = true; }

    // One turn; returns how long the caller may wait for a session before the next one.
    double turn() {
        if (poll_.expired()) {
            poll_ = Deadline(clock_, pollSeconds);
            lookAgain_ = true;
        }
        if (!journal_ && !openJournal())
            return std::min(poll_.remaining(), pollSeconds);
        if (!connection_) {
            if (!retry_.expired())
                return retry_.remaining();
            connect();
            if (!connection_)
                return retry_.remaining();
        }
        connection_->loop(roomToSend() ? 0 : loopMillis);
        afterLoop();
        return 0;
    }

    // Connected, with nothing left in the journal and nothing in flight.
    bool drained() const {
        return connection_ && connection_->state() == BrokerConnection::State::connected &&
               !lookAgain_ && !more_ && inFlight_.empty() && acknowledged_.empty();
    }

    // Readings still in flight are acknowledged on the way, and unmarked with the others.
    void goodbye() {
        if (!connection_ || connection_->state() != BrokerConnection::State::connected)
            return;
        std::string problem;
        const auto mid = connection_->publish(stateTopic(root_), mqtt::offline, true, problem);
        const Deadline limit(clock_, goodbyeSeconds);
        bool acknowledged = !mid;
        while (!acknowledged && !limit.expired() &&
               connection_->state() == BrokerConnection::State::connected) {
            connection_->loop(loopMillis);
            const std::vector<int> mids = connection_->takeAcknowledged();
            acknowledged = std::find(mids.begin(), mids.end(), *mid) != mids.end();
            collect(mids);
        }
        unmark();
        connection_->disconnect();
        connected_ = false;
    }

private:
    // Readings to send and room for them: the client's loop must not wait. Otherwise it waits for
    // the broker, which wakes it with each acknowledgement.
    bool roomToSend() const { return (more_ || lookAgain_) && inFlight_.size() + refill <= window; }

    // A broker that stays away fails every attempt alike: a line when the reason changes, and
    // one when it is back.
    void problem(const std::string &text) {
        if (text == lastProblem_)
            return;
        lastProblem_ = text;
        log_(LogPriority::warning, settings_.url + ": " + text + keptForLater);
    }

    bool openJournal() {
        if (auto failed = Journal::open(journalFile_, Journal::Access::write, journal_)) {
            problem(failed.text);
            return false;
        }
        return true;
    }

    void connect() {
        connection_.emplace(settings_, password_, stateTopic(root_), caFile_);
        connectLimit_.restart();
        announced_ = false;
        if (connection_->state() == BrokerConnection::State::lost)
            drop();
    }

    void drop() {
        connected_ = false;
        problem(connection_->reason());
        unmark();
        connection_.reset();
        inFlight_.clear();
        sent_.clear();
        afterSeq_ = 0;
        afterUtc_ = 0;
        retry_ = Deadline(clock_, retrySeconds_);
        retrySeconds_ = std::min(2 * retrySeconds_, maxRetrySeconds);
    }

    void afterLoop() {
        using State = BrokerConnection::State;
        switch (connection_->state()) {
        case State::connecting:
            if (connectLimit_.expired()) {
                problem("no answer within " + std::to_string(int(connectSeconds)) + " s");
                drop();
            }
            return;
        case State::refused:
        case State::lost:
            drop();
            return;
        case State::connected:
            break;
        }
        if (!announced_) {
            announced_ = true;
            connected();
        }
        collect(connection_->takeAcknowledged());
        if (acknowledgedReadings_ >= markBatch || inFlight_.empty())
            unmark();
        if (lookAgain_) {
            lookAgain_ = false;
            more_ = true;
            publishDeviceStates();
            announce();
        }
        answerHeard();
        if (more_ && inFlight_.size() + refill <= window)
            publishReadings();
    }

    void connected() {
        connected_ = true;
        log_(LogPriority::progress, "connected to " + settings_.url);
        lastProblem_.clear();
        retrySeconds_ = firstRetrySeconds;
        std::string failed;
        if (!connection_->publish(stateTopic(root_), mqtt::online, true, failed))
            problem(failed);
        published_.clear();
        lookAgain_ = true;
        if (discovery_) {
            discovery_->connected();
            connection_->subscribe(homeassistant::configFilter, failed);
            if (!failed.empty())
                discoveryProblem(failed);
        }
    }

    void announce() {
        if (!discovery_)
            return;
        std::string failed;
        publishConfigs(discovery_->changes(*journal_, failed));
        if (failed.empty())
            lastDiscoveryProblem_.clear();
        else
            discoveryProblem(failed);
    }

    void answerHeard() {
        if (!discovery_)
            return;
        std::vector<RetainedConfig> answers;
        for (const RetainedConfig &config : connection_->takeHeard())
            if (auto answer = discovery_->heard(config))
                answers.push_back(std::move(*answer));
        publishConfigs(answers);
    }

    void publishConfigs(const std::vector<RetainedConfig> &configs) {
        for (const RetainedConfig &config : configs) {
            std::string failed;
            if (connection_->publish(config.topic, config.payload, true, failed))
                discovery_->sent(config);
            else
                discoveryProblem("cannot publish " + config.topic + ": " + failed);
            if (connection_->state() != BrokerConnection::State::connected)
                return;
        }
    }

    // Said once while it lasts, like the broker's problems.
    void discoveryProblem(const std::string &text) {
        if (text == lastDiscoveryProblem_)
            return;
        lastDiscoveryProblem_ = text;
        log_(LogPriority::warning, text + configsKept);
    }

    // A marker moves on only past the readings acknowledged with all before them: one the
    // broker acknowledged ahead of an earlier one may go again after a reconnect.
    void collect(const std::vector<int> &mids) {
        for (const int mid : mids) {
            const auto it = inFlight_.find(mid);
            if (it == inFlight_.end())
                continue;
            const auto [seq, utc] = it->second;
            inFlight_.erase(it);
            std::deque<Sent> &sent = sent_[seq];
            const auto reading =
                std::lower_bound(sent.begin(), sent.end(), utc,
                                 [](const Sent &s, UtcSeconds time) { return s.utc < time; });
            if (reading != sent.end() && reading->utc == utc)
                reading->acknowledged = true;
            while (!sent.empty() && sent.front().acknowledged) {
                acknowledged_[seq] = sent.front().utc;
                ++acknowledgedReadings_;
                sent.pop_front();
            }
            if (sent.empty())
                sent_.erase(seq);
        }
    }

    void unmark() {
        if (acknowledged_.empty() || !journal_)
            return;
        if (auto failed = journal_->markPublished(acknowledged_))
            problem(failed.text);
        acknowledged_.clear();
        acknowledgedReadings_ = 0;
    }

    void publishReadings() {
        const std::size_t room = window - inFlight_.size();
        if (auto failed = journal_->unpublishedReadings(afterSeq_, afterUtc_, int(room), batch_)) {
            problem(failed.text);
            more_ = false;
            return;
        }
        more_ = batch_.size() == room;
        for (const UnpublishedReading &reading : batch_) {
            std::string failed;
            const std::string topic = readingTopic(root_, reading);
            const auto mid = connection_->publish(topic, readingPayload(reading), false, failed);
            if (connection_->state() != BrokerConnection::State::connected)
                return;
            // A reading the client will not take (its topic or size) waits for the next
            // connection, and holds its marker back; the others go on.
            if (!mid)
                problem("cannot publish " + topic + ": " + failed);
            else
                inFlight_[*mid] = {reading.seq, reading.utc};
            sent_[reading.seq].push_back({reading.utc, false});
            afterSeq_ = reading.seq;
            afterUtc_ = reading.utc;
        }
    }

    // Each device's state when its last session is one the broker has not had yet.
    void publishDeviceStates() {
        for (int device = 1; device <= maxDevices; ++device) {
            DeviceJournal state;
            if (auto failed = journal_->deviceJournal(device, state)) {
                problem(failed.text);
                return;
            }
            if (!state.lastSession)
                continue;
            const auto key = std::make_pair(state.lastSession->ended, state.lastSession->letter);
            if (const auto it = published_.find(device);
                it != published_.end() && it->second == key)
                continue;
            std::string failed;
            if (connection_->publish(deviceStatusTopic(root_, device), deviceStatusPayload(state),
                                     true, failed))
                published_[device] = key;
            else
                problem(failed);
        }
    }

    const Clock &clock_;
    std::atomic<bool> &connected_; // the publisher's, for the status page
    const std::filesystem::path &journalFile_;
    const MqttSettings &settings_;
    const std::string &password_;
    const std::filesystem::path &caFile_;
    const PublisherLog &log_;
    const std::string root_;

    std::unique_ptr<Journal> journal_;
    std::optional<BrokerConnection> connection_;
    bool announced_ = false;
    Deadline retry_;
    double retrySeconds_ = firstRetrySeconds;
    Deadline poll_;
    Deadline connectLimit_;
    std::string lastProblem_;
    bool lookAgain_ = true;
    bool more_ = false;
    // A reading sent on this connection, in its marker's order.
    struct Sent {
        UtcSeconds utc = 0;
        bool acknowledged = false;
    };
    std::int64_t afterSeq_ = 0; // the last reading sent: its marker and time
    UtcSeconds afterUtc_ = 0;
    std::map<int, std::pair<std::int64_t, UtcSeconds>> inFlight_; // message id -> reading
    std::map<std::int64_t, std::deque<Sent>> sent_;               // marker -> its readings sent
    std::map<std::int64_t, UtcSeconds> acknowledged_; // marker -> acknowledged up to this time
    std::size_t acknowledgedReadings_ = 0;
    std::vector<UnpublishedReading> batch_;
    std::map<int, std::pair<UtcSeconds, std::string>> published_; // device -> its last session
    std::optional<HomeAssistantAnnouncer> discovery_;
    std::string lastDiscoveryProblem_;
};

} // namespace

MqttPublisher::MqttPublisher(std::filesystem::path journalFile, MqttSettings settings,
                             const std::filesystem::path &configDir, PublisherLog log,
                             const Clock &clock)
    : journalFile_(std::move(journalFile)), settings_(std::move(settings)), configDir_(configDir),
      log_(std::move(log)), clock_(clock) {
    std::call_once(libraryStarted, [] { mosquitto_lib_init(); });
    settings_.caFile = fromConfigDir(configDir, settings_.caFile);
    if (!settings_.passwordFile.empty())
        password_ = firstLine(fromConfigDir(configDir, settings_.passwordFile));
}

MqttPublisher::~MqttPublisher() {
    stop();
}

void MqttPublisher::start() {
    if (!thread_.joinable())
        thread_ = std::thread([this] { run(); });
}

void MqttPublisher::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void MqttPublisher::sessionEnded() {
    {
        std::lock_guard lock(mutex_);
        ++sessionsEnded_;
    }
    changed_.notify_all();
}

bool MqttPublisher::waitForAcknowledgements(double seconds) {
    std::unique_lock lock(mutex_);
    const std::uint64_t asked = ++sessionsEnded_;
    changed_.notify_all();
    return clock_.waitUntil(changed_, lock, clock_.monotonicSeconds() + seconds,
                            [&] { return drained_ && drainedAfter_ >= asked; });
}

double MqttPublisher::threadCpuSeconds() const {
    clockid_t clock;
    timespec used{};
    if (!thread_.joinable() ||
        pthread_getcpuclockid(const_cast<std::thread &>(thread_).native_handle(), &clock) != 0 ||
        clock_gettime(clock, &used) != 0)
        return 0;
    return double(used.tv_sec) + double(used.tv_nsec) * 1e-9;
}

void MqttPublisher::run() {
    PublisherRun publisher(journalFile_, settings_, configDir_, password_, log_, clock_,
                           connected_);
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                break;
            if (sessionsEnded_ != seen) {
                seen = sessionsEnded_;
                drained_ = false;
                publisher.sessionEnded();
            }
        }
        const double idle = publisher.turn();
        std::unique_lock lock(mutex_);
        if (publisher.drained() && sessionsEnded_ == seen) {
            drained_ = true;
            drainedAfter_ = seen;
            changed_.notify_all();
        }
        if (idle > 0)
            clock_.waitUntil(changed_, lock, clock_.monotonicSeconds() + idle,
                             [&] { return stopping_ || sessionsEnded_ != seen; });
    }
    publisher.goodbye();
}

} // namespace vantrell

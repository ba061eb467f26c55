// A real mosquitto broker for the tests and the benchmark, on free ports of 127.0.0.1, with a
// configuration the test writes: an anonymous listener for the test's own subscriber and, beside
// it, one that asks for a password and one that speaks TLS with a certificate authority made
// here. Subscriptions persist across a restart of the broker, so a subscriber misses nothing
// while the broker is down. What it logs is kept in its folder, for a test's failure message.
#pragma once

#include "FreePort.h"

#include "ChildProcess.h"
#include "TempFolder.h"

#include <mosquitto.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantrell::testing {

inline const char *mosquittoProgram = "/usr/sbin/mosquitto";

class TestBroker {
public:
    inline static const std::string user = "vantrell";
    inline static const std::string password = "s3cret";

    // `more` is added to the configuration at its end: a bridge, say.
    explicit TestBroker(const std::string &more = {}) {
        std::call_once(libraryStarted_, [] { mosquitto_lib_init(); });
        makeCertificates();
        const std::string passwords = (folder / "passwords").string();
        std::system(("mosquitto_passwd -b -c " + passwords + " " + user + " " + password +
                     " >/dev/null 2>&1")
                        .c_str());
        std::ofstream conf(folder / "mosquitto.conf");
        if (geteuid() == 0)
            conf << "user root\n";
        conf << "per_listener_settings true\nset_tcp_nodelay true\npersistence "
                "true\npersistence_location "
             << folder.path().string()
             << "/\nmax_queued_messages 0\nlog_dest stderr\nlog_dest file " << logFile().string()
             << "\n"
             << "listener " << port << " 127.0.0.1\nallow_anonymous true\n"
             << "listener " << passwordPort << " 127.0.0.1\nallow_anonymous false\n"
             << "password_file " << passwords << "\n"
             << "listener " << tlsPort << " 127.0.0.1\nallow_anonymous true\n"
             << "cafile " << caFile().string() << "\ncertfile " << (folder / "server.pem").string()
             << "\nkeyfile " << (folder / "server.key").string() << "\n"
             << more;
    }

    // True once the broker says it runs.
    bool start() {
        process_.emplace(
            std::vector<std::string>{mosquittoProgram, "-c", (folder / "mosquitto.conf").string()},
            Launch{.withErrors = true, .user = {}});
        while (const auto line = process_->readLine(10))
            if (line->find(" running") != std::string::npos)
                return true;
        return false;
    }
    void stop() { process_.reset(); }

    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port); }
    std::string passwordUrl() const { return "mqtt://127.0.0.1:" + std::to_string(passwordPort); }
    std::string tlsUrl() const { return "mqtts://127.0.0.1:" + std::to_string(tlsPort); }
    std::filesystem::path caFile() const { return folder / "ca.pem"; }
    std::filesystem::path logFile() const { return folder / "mosquitto.log"; }
    std::string log() const {
        std::ifstream in(logFile());
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    TempFolder folder;
    const int port = freePort();
    const int passwordPort = freePort();
    const int tlsPort = freePort();

private:
    inline static std::once_flag libraryStarted_;
    // A certificate authority and a server certificate for 127.0.0.1 signed by it.
    void makeCertificates() {
        const std::string d = folder.path().string() + "/";
        std::ofstream(folder / "san.ext") << "subjectAltName=IP:127.0.0.1\n";
        for (const std::string &command :
             {"openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=vantrell-test-ca "
              "-keyout " +
                  d + "ca.key -out " + d + "ca.pem",
              "openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout " + d +
                  "server.key -out " + d + "server.csr",
              "openssl x509 -req -in " + d + "server.csr -CA " + d + "ca.pem -CAkey " + d +
                  "ca.key -CAcreateserial -days 2 -extfile " + d + "san.ext -out " + d +
                  "server.pem"})
            std::system((command + " >/dev/null 2>&1").c_str());
    }

    std::optional<ChildProcess> process_;
};

struct MqttMessage {
    std::string topic;
    std::string payload;
};

// Everything under a topic filter, as it arrives; the session persists in the broker, so
// messages published while this subscriber is cut off arrive when it is back.
class TestSubscriber {
public:
    TestSubscriber(int port, std::string filter,
                   const std::string &clientId = "vantrell-test-subscriber")
        : client_(mosquitto_new(clientId.c_str(), false, this)), filter_(std::move(filter)) {
        mosquitto_connect_callback_set(client_, [](mosquitto *m, void *self, int rc) {
            auto *s = static_cast<TestSubscriber *>(self);
            if (rc == 0)
                mosquitto_subscribe(m, nullptr, s->filter_.c_str(), 1);
        });
        mosquitto_subscribe_callback_set(client_,
                                         [](mosquitto *, void *self, int, int, const int *) {
                                             auto *s = static_cast<TestSubscriber *>(self);
                                             std::lock_guard lock(s->mutex_);
                                             s->subscribed_ = true;
                                             s->arrived_.notify_all();
                                         });
        mosquitto_message_callback_set(
            client_, [](mosquitto *, void *self, const mosquitto_message *m) {
                auto *s = static_cast<TestSubscriber *>(self);
                std::lock_guard lock(s->mutex_);
                s->messages_.push_back({m->topic, std::string(static_cast<const char *>(m->payload),
                                                              std::size_t(m->payloadlen))});
                s->arrived_.notify_all();
            });
        mosquitto_reconnect_delay_set(client_, 1, 1, false);
        mosquitto_connect(client_, "127.0.0.1", port, 30);
        mosquitto_loop_start(client_);
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::seconds(10), [this] { return subscribed_; });
    }
    ~TestSubscriber() {
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, true);
        mosquitto_destroy(client_);
    }
    TestSubscriber(const TestSubscriber &) = delete;
    TestSubscriber &operator=(const TestSubscriber &) = delete;

    // Waits at most `seconds` until `done` holds for the messages so far. `done` looks at a copy,
    // outside the lock: a look that takes longer than a message's arrival must not hold the next
    // one back, or the waiter would slow the delivery it waits for to one message per look.
    bool waitFor(const std::function<bool(const std::vector<MqttMessage> &)> &done,
                 double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        std::unique_lock lock(mutex_);
        for (;;) {
            const std::vector<MqttMessage> sofar = messages_;
            lock.unlock();
            if (done(sofar))
                return true;
            lock.lock();
            if (!arrived_.wait_until(lock, end, [&] { return messages_.size() > sofar.size(); }))
                return false;
        }
    }
    bool waitForCount(const std::string &topicPart, std::size_t count, double seconds) {
        return waitFor([&](const auto &all) { return matching(all, topicPart) >= count; }, seconds);
    }
    // Retained, as an earlier program would have left it.
    void publishRetained(const std::string &topic, const std::string &payload) {
        mosquitto_publish(client_, nullptr, topic.c_str(), int(payload.size()), payload.data(), 1,
                          true);
    }
    std::vector<MqttMessage> messages() {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    static std::size_t matching(const std::vector<MqttMessage> &all, const std::string &part) {
        std::size_t n = 0;
        for (const MqttMessage &m : all)
            n += m.topic.find(part) != std::string::npos ? 1 : 0;
        return n;
    }

private:
    mosquitto *client_;
    std::string filter_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    bool subscribed_ = false;
    std::vector<MqttMessage> messages_;
};

} // namespace vantrell::testing

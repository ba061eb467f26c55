// The publisher against a real broker: what arrives under which topic, what a broker that goes
// away, a restart, a refused login and TLS do to it, and that the journal keeps every reading the
// broker has not acknowledged.
#include "publish/MqttPublisher.h"

#include "LogLines.h"
#include "config/ConfigStation.h"
#include "journal/JournalFixture.h"
#include "publish/MqttTestBroker.h"
#include "sim/virtualtime/VirtualClock.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <csignal>
#include <functional>
#include <map>
#include <set>

#include <sys/wait.h>

namespace vantrell {
namespace {

using namespace testing;

constexpr double patience = 60; // seconds a test waits at most for what must come
constexpr const char *root = "vantrell/st1";

class MqttPublisherTest : public JournalTest {
protected:
    void SetUp() override {
        JournalTest::SetUp();
        ASSERT_TRUE(broker.start());
        settings.url = broker.url();
        settings.station = "st1";
        settings.clientId = "vantrell-st1";
    }

    // `count` records of four channels from `first`, to be published or not.
    void record(int count, bool toPublish = true, LocalDateTime first = {2026, 3, 1, 0, 0, 0}) {
        record(memory(count, first), toPublish);
    }
    void record(std::vector<Reading> readings, bool toPublish, int device = 1,
                const std::string &serial = "KV12345678") {
        memories.push_back(std::move(readings));
        LoggerReadings batch = batchOf(memories.back(), device, serial);
        batch.toPublish = toPublish;
        StoredReadings stored;
        ASSERT_EQ(journal->recordReadings(batch, stored).text, "");
    }

    std::int64_t unpublished() {
        std::int64_t count = -1;
        EXPECT_EQ(journal->unpublishedCount(count).text, "");
        return count;
    }

    std::unique_ptr<MqttPublisher> publisher(const Clock &time = systemClock(),
                                             PublisherLog log = {}) {
        auto p = std::make_unique<MqttPublisher>(file, settings, folder.path(),
                                                 log ? log : lines.log(), time);
        p->start();
        return p;
    }

    // The publisher's time limits and back-off pass only as the test moves `clock`: a second at a
    // time, each step giving its thread a moment to answer (a log line ends the moment early).
    // False when `done` does not come within `patience` real seconds.
    bool advanceUntil(VirtualClock &clock, const std::function<bool()> &done) {
        const Deadline bound(systemClock(), patience);
        while (!done()) {
            if (bound.expired())
                return false;
            clock.advanceBy(1);
            lines.waitFor("", 0.02);
        }
        return true;
    }

    StationZone zone{"Europe/Berlin"};
    TestBroker broker;
    MqttSettings settings;
    LogLines lines;
    std::vector<std::vector<Reading>> memories;
};

// Readings by topic and time, with how often each came.
std::map<std::pair<std::string, std::string>, int>
readingsArrived(const std::vector<MqttMessage> &messages) {
    std::map<std::pair<std::string, std::string>, int> seen;
    for (const MqttMessage &m : messages)
        if (m.topic.starts_with(std::string(root) + "/KV"))
            ++seen[{m.topic, nlohmann::json::parse(m.payload).at("time").get<std::string>()}];
    return seen;
}

TEST_F(MqttPublisherTest, ReadingsStatesAndTheStationArriveAsConsumersReadThem) {
    TestSubscriber subscriber(broker.port, "vantrell/#");
    record(2, false); // before the broker was configured: never published
    record({reading("01-03-26", "01:00:00", {"21.5", "", "-3.25", "7"})}, true);
    // A serial no topic could hold as it is: its readings go too, and leave no backlog behind.
    record(memories.back(), true, 2, "12+4KV0126");
    ASSERT_EQ(journal->recordSession({1, 2, 1772326800, 1772326860, "X", 1, "d.txt", 1}).text, "");

    auto p = publisher();
    ASSERT_TRUE(p->waitForAcknowledgements(patience)) << lines.all();
    ASSERT_TRUE(subscriber.waitForCount("/KV", 4, patience));
    ASSERT_TRUE(subscriber.waitForCount("/12%2B4KV0126/", 4, patience));
    ASSERT_TRUE(subscriber.waitForCount("/status", 1, patience));
    ASSERT_TRUE(subscriber.waitForCount("/state", 1, patience));

    const std::string at = R"({"time":"2026-03-01T00:00:00Z","local":"2026-03-01T01:00:00+01:00",)";
    const std::string kv = std::string(root) + "/KV12345678/";
    const struct {
        const char *legend;
        std::string topic, payload;
        bool retained;
    } cases[] = {
        {"a number, local time in winter", kv + "1",
         at + R"("value":21.5,"unit":"°C","name":"Kanal 1","device":1})", false},
        {"a missing reading is null", kv + "2",
         at + R"("value":null,"unit":"°C","name":"Kanal 2","device":1})", false},
        {"a negative value", kv + "3",
         at + R"("value":-3.25,"unit":"°C","name":"Kanal 3","device":1})", false},
        {"a serial with a wildcard, as an encoded level", std::string(root) + "/12%2B4KV0126/4",
         at + R"("value":7.0,"unit":"°C","name":"Kanal 4","device":2})", false},
        {"the device's last session, retained", std::string(root) + "/device/1/status",
         R"({"letter":"X","words":"done successfully","last_good_read":"2026-03-01T01:01:00Z",)"
         R"("missed_times":0,"last_session":"2026-03-01T01:01:00Z"})",
         true},
        {"the station, retained", std::string(root) + "/state", "online", true},
    };
    // Retained messages come to a subscriber that comes later, marked as such.
    TestSubscriber late(broker.port, "vantrell/#", "vantrell-test-late");
    ASSERT_TRUE(late.waitForCount("/state", 1, patience));
    ASSERT_TRUE(late.waitForCount("/status", 1, patience));
    const auto messages = subscriber.messages();
    const auto retained = late.messages();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.legend);
        const auto found = std::find_if(messages.begin(), messages.end(),
                                        [&](const MqttMessage &m) { return m.topic == c.topic; });
        ASSERT_NE(found, messages.end());
        EXPECT_EQ(found->payload, c.payload);
        EXPECT_EQ(TestSubscriber::matching(retained, c.topic), c.retained ? 1u : 0u);
    }
    EXPECT_EQ(readingsArrived(messages).size(), 4u) << "only the readings marked to go";
    EXPECT_EQ(unpublished(), 0);
}

TEST_F(MqttPublisherTest, BrokerGoneMidwayGetsEveryReadingAfterItIsBack) {
    TestSubscriber subscriber(broker.port, "vantrell/#");
    constexpr int records = 3000;
    record(records);
    // In real time: its reconnection meets a real broker, whose answer virtual time would outrun.
    auto p = publisher();
    ASSERT_TRUE(subscriber.waitForCount("/KV", 1, patience));
    broker.stop();
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(p->waitForAcknowledgements(patience)) << lines.all();
    ASSERT_TRUE(subscriber.waitFor(
        [](const auto &all) { return readingsArrived(all).size() == 4u * records; }, patience))
        << readingsArrived(subscriber.messages()).size() << " readings came";
    // Only what was in flight when the broker went (at most the publisher's window of 2000) may
    // come again, and what the broker had not yet passed on to this subscriber.
    std::size_t again = 0;
    for (const auto &[reading, times] : readingsArrived(subscriber.messages()))
        again += times > 1 ? 1 : 0;
    EXPECT_LE(again, 2100u);
    EXPECT_EQ(unpublished(), 0);
    EXPECT_EQ(lines.count("readings kept for later"), 1u) << "logged once: " << lines.all();
}

TEST_F(MqttPublisherTest, RestartPublishesWhatWasLeftInTheOrderRecorded) {
    record(50);
    record(50, true, {2026, 3, 2, 0, 0, 0});
    {
        // A port where nothing listens: logged once, every reading kept.
        settings.url = "mqtt://127.0.0.1:" + std::to_string(freePort());
        auto p = publisher();
        ASSERT_TRUE(lines.waitFor("Connection refused", patience)) << lines.all();
        p->sessionEnded();
        EXPECT_FALSE(p->waitForAcknowledgements(0.5));
        EXPECT_FALSE(p->connected()) << "for the status page";
    }
    EXPECT_EQ(unpublished(), 400);
    EXPECT_EQ(lines.count("Connection refused"), 1u) << lines.all();

    TestSubscriber subscriber(broker.port, "vantrell/#");
    settings.url = broker.url();
    auto p = publisher();
    ASSERT_TRUE(p->waitForAcknowledgements(patience)) << lines.all();
    EXPECT_TRUE(p->connected());
    ASSERT_TRUE(subscriber.waitForCount("/KV", 400, patience));
    std::vector<std::pair<std::string, std::string>> order;
    for (const MqttMessage &m : subscriber.messages())
        if (m.topic.find("/KV") != std::string::npos)
            order.emplace_back(m.topic, nlohmann::json::parse(m.payload).at("time"));
    ASSERT_EQ(order.size(), 400u);
    // Recorded batch by batch, each channel by channel in time order.
    for (std::size_t k = 1; k < order.size(); ++k) {
        if (order[k].first == order[k - 1].first) {
            EXPECT_LT(order[k - 1].second, order[k].second) << k;
        }
    }
    EXPECT_EQ(order.front().first, std::string(root) + "/KV12345678/1");
    EXPECT_EQ(order[49].first, std::string(root) + "/KV12345678/1");
    EXPECT_EQ(order[50].first, std::string(root) + "/KV12345678/2");

    // It goes on after the last marker it sent: a session whose readings come after the backlog
    // was all acknowledged (every marker gone) must still be found.
    record(10, true, {2026, 3, 3, 0, 0, 0});
    p->sessionEnded();
    ASSERT_TRUE(subscriber.waitFor(
        [](const auto &all) { return readingsArrived(all).size() == 4u * 110; }, patience))
        << lines.all();
    ASSERT_TRUE(p->waitForAcknowledgements(patience)) << lines.all();
    EXPECT_EQ(unpublished(), 0);
}

TEST_F(MqttPublisherTest, KilledPublisherLeavesOfflineAndACleanStopSaysIt) {
    const pid_t child = fork();
    if (child == 0) {
        MqttPublisher p(file, settings, folder.path(), [](LogPriority, const std::string &) {});
        p.start();
        for (;;)
            pause();
    }
    ASSERT_GT(child, 0);
    TestSubscriber subscriber(broker.port, "vantrell/st1/state");
    const auto last = [](const std::string &payload) {
        return [payload](const std::vector<MqttMessage> &all) {
            return !all.empty() && all.back().payload == payload;
        };
    };
    ASSERT_TRUE(subscriber.waitFor(last("online"), patience));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(subscriber.waitFor(last("offline"), patience)) << "the last will";

    auto p = publisher();
    ASSERT_TRUE(subscriber.waitFor(last("online"), patience));
    p->stop();
    EXPECT_TRUE(subscriber.waitFor(last("offline"), patience)) << "said on a clean stop";
}

// Whether the messages so far leave `topic` retained with every key of `part` as given (an empty
// part: none retained).
bool keeps(const std::vector<MqttMessage> &messages, const std::string &topic,
           const std::string &part) {
    nlohmann::json last;
    for (const MqttMessage &m : messages)
        if (m.topic == topic)
            last = m.payload.empty() ? nlohmann::json() : nlohmann::json::parse(m.payload);
    const auto expected = nlohmann::json::parse(part.empty() ? "null" : part);
    if (last.is_null() || expected.is_null())
        return last.is_null() && expected.is_null();
    for (const auto &[key, value] : expected.items())
        if (last.value(key, nlohmann::json()) != value)
            return false;
    return true;
}

TEST_F(MqttPublisherTest, HomeAssistantFindsTheDeviceTablesSensorsAndLosesThoseRemoved) {
    settings.discovery = "homeassistant";
    // Device 1 on logger KV12345678, described; device 2 on a serial no object id takes.
    const std::string device1 = "1:0,netw0101,0,0,KV12345678,,,,,,,,0,Hall";
    test::writeBytes(folder / "prop.xml",
                     test::positionalFile(test::records(device1 + ";2:0,netw0101,0,0,12+4KV0126")));
    record(1);
    record(memory(1), true, 2, "12+4KV0126");
    record(memory(1), true, 1, "KV00000001"); // read before the record named another logger
    const std::string ha = "homeassistant/sensor/vantrell_st1";
    const std::string earlier = ha + "_KV99999999_1/config", other = ha + "_x_KV1_1/config";
    TestSubscriber watcher(broker.port, "homeassistant/#", "vantrell-test-ha");
    watcher.publishRetained(earlier, R"({"state_topic":"vantrell/st1/KV99999999/1"})");
    watcher.publishRetained(other, R"({"state_topic":"vantrell/st1_x/KV1/1"})");
    ASSERT_TRUE(watcher.waitForCount("/config", 2, patience));

    const struct {
        const char *legend;
        std::string topic;
        std::string before, after; // the config or the part that matters; empty: none retained
    } cases[] = {
        {"a channel: its reading's value, name, unit and logger", ha + "_KV12345678_1/config",
         R"({"name":"Kanal 1","unique_id":"vantrell_st1_KV12345678_1",)"
         R"("state_topic":"vantrell/st1/KV12345678/1","value_template":"{{ value_json.value }}",)"
         R"("availability_topic":"vantrell/st1/state","payload_available":"online",)"
         R"("payload_not_available":"offline","unit_of_measurement":"°C",)"
         R"("state_class":"measurement","device":{"identifiers":["vantrell_st1_KV12345678"],)"
         R"("serial_number":"KV12345678","name":"Hall KV12345678","via_device":"vantrell_st1"}})",
         R"({"name":"Vorlauf","unit_of_measurement":"K"})"},
        {"a serial no object id takes, made safe", ha + "_12_4KV0126_4/config",
         R"({"state_topic":"vantrell/st1/12%2B4KV0126/4"})", ""},
        {"a device's status, named after its description", ha + "_device_1_status/config",
         R"({"name":"Hall status","state_topic":"vantrell/st1/device/1/status",)"
         R"("value_template":"{{ value_json.letter }}",)"
         R"("json_attributes_topic":"vantrell/st1/device/1/status",)"
         R"("device":{"identifiers":["vantrell_st1"],"name":"Vantrell st1"}})",
         R"({"name":"Hall status"})"},
        {"a device without a description", ha + "_device_2_status/config",
         R"({"name":"Device 2 status"})", ""},
        {"a logger its record no longer names", ha + "_KV00000001_1/config", "", ""},
        {"left by an earlier run, of a logger since removed", earlier, "", ""},
        {"another station's, whose name begins alike", other,
         R"({"state_topic":"vantrell/st1_x/KV1/1"})", R"({"state_topic":"vantrell/st1_x/KV1/1"})"},
    };
    const auto settled = [&](bool after) {
        return [&cases, after](const std::vector<MqttMessage> &all) {
            return std::all_of(std::begin(cases), std::end(cases), [&](const auto &c) {
                return keeps(all, c.topic, after ? c.after : c.before);
            });
        };
    };
    auto p = publisher();
    EXPECT_TRUE(watcher.waitFor(settled(false), patience)) << lines.all();

    test::writeBytes(folder / "prop.xml", test::positionalFile(test::records(device1)));
    const auto later = memory(1, {2026, 3, 2, 0, 0, 0});
    LoggerReadings renamed = batchOf(later);
    renamed.channels[0] = {true, "Vorlauf", "K"};
    StoredReadings stored;
    ASSERT_EQ(journal->recordReadings(renamed, stored).text, "");
    p->sessionEnded();
    EXPECT_TRUE(watcher.waitFor(settled(true), patience)) << lines.all();
    TestSubscriber late(broker.port, "homeassistant/#", "vantrell-test-ha-late");
    EXPECT_TRUE(late.waitFor(settled(true), patience)) << "as the broker keeps them";
}

struct Login {
    const char *legend;
    bool tls;
    std::string username, password;
    bool withCa;
    const char *logged; // empty: the readings go
};

class MqttLoginTest : public MqttPublisherTest, public ::testing::WithParamInterface<Login> {};

TEST_P(MqttLoginTest, ReadingsGoOrWaitWithTheReasonLogged) {
    const Login &login = GetParam();
    TestSubscriber subscriber(broker.port, "vantrell/#");
    record(5);
    settings.url = login.tls ? broker.tlsUrl() : broker.passwordUrl();
    settings.username = login.username;
    if (!login.password.empty()) {
        settings.passwordFile = "password";
        std::ofstream(folder / "password") << login.password << "\n";
    }
    if (login.withCa)
        settings.caFile = broker.caFile();
    auto p = publisher();
    if (std::string(login.logged).empty()) {
        ASSERT_TRUE(p->waitForAcknowledgements(patience)) << lines.all();
        EXPECT_TRUE(subscriber.waitForCount("/KV", 20, patience));
        EXPECT_EQ(unpublished(), 0);
        return;
    }
    ASSERT_TRUE(lines.waitFor(login.logged, patience)) << lines.all();
    EXPECT_FALSE(p->waitForAcknowledgements(1));
    EXPECT_EQ(lines.count(login.logged), 1u) << "logged once: " << lines.all();
    EXPECT_EQ(unpublished(), 20);
}

INSTANTIATE_TEST_SUITE_P(
    Brokers, MqttLoginTest,
    ::testing::Values(
        Login{"user and password", false, TestBroker::user, TestBroker::password, false, ""},
        Login{"wrong password", false, TestBroker::user, "wrong", false, "not authorised"},
        Login{"no user", false, "", "", false, "not authorised"},
        Login{"TLS with the test's authority", true, "", "", true, ""},
        Login{"TLS with only the system's authorities", true, "", "", false, "TLS error"}),
    [](const auto &tested) {
        std::string name = tested.param.legend;
        std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
        return name;
    });

// A host that takes the connection and never answers it.
TEST_F(MqttPublisherTest, SilentBrokerIsGivenUpWithinTheConnectLimit) {
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(listen(silent, 4), 0);
    getsockname(silent, reinterpret_cast<sockaddr *>(&address), &length);
    record(1);
    settings.url = "mqtt://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    VirtualClock clock;
    std::atomic<double> givenUpAt = -1;
    auto p =
        publisher(clock, [&, log = lines.log()](LogPriority priority, const std::string &line) {
            if (line.find("no answer within 10 s") != std::string::npos && givenUpAt < 0)
                givenUpAt = clock.monotonicSeconds();
            log(priority, line);
        });
    ASSERT_TRUE(advanceUntil(clock, [&] { return givenUpAt >= 0; })) << lines.all();
    EXPECT_GE(givenUpAt, 10.0) << "not before the limit";
    EXPECT_EQ(unpublished(), 4);
    close(silent);
}

} // namespace
} // namespace vantrell

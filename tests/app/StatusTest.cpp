// `vantrelld status` with the journal on: what a monitoring script reads from it (the lines,
// the JSON object and the exit code) after a day of mixed outcomes, and that it answers at once
// beside a running station that holds the folder and writes the journal.
#include "FolderLock.h"
#include "JournalFolder.h"

#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <map>

namespace vantrell {
namespace {

using testing::JournalFolder;
using testing::runProgram;

// 2026-12-05 00:00 UTC; the station's schedule times at 08:00, 12:00 and 16:00 local (+01:00).
constexpr UtcSeconds day = 1796428800;
constexpr UtcSeconds morning = day + 7 * 3600;
constexpr UtcSeconds noon = day + 11 * 3600;
constexpr UtcSeconds afternoon = day + 15 * 3600;

void addMail(JournalFolder &f, const std::string &subject) {
    DeliveryRow row;
    row.kind = DeliveryKind::mail;
    row.device = 2;
    row.recipient = "ops@example.org";
    row.what = subject;
    row.state = DeliveryState::pending;
    row.lastError = "connection refused";
    row.created = std::time(nullptr) - 2 * 3600;
    row.nextTry = row.created + 300;
    EXPECT_EQ(f.journal->addDelivery(row).text, "");
}

// Device 1 ends the day well, device 2 has missed two times in a row, inactive device 3 failed
// and counts for nothing, and a mail waits in the outbox.
void mixedDay(JournalFolder &f) {
    f.addDevice(1, "netw0101", true);
    f.addDevice(2, "netw0102", true);
    f.addDevice(3, "netw0103", false);
    for (const auto &[device, letters] :
         std::map<int, std::vector<std::string>>{{1, {"X", "C", "X"}}, {2, {"X", "N", "N"}}}) {
        f.session(device, morning, letters[0], 120);
        f.session(device, noon, letters[1]);
        f.session(device, afternoon, letters[2], 24);
    }
    f.session(3, morning, "P");
    addMail(f, "Data of device 2");
}

void breakJournal(JournalFolder &f) {
    f.journal.reset();
    test::writeBytes(f.file, "these are not the bytes of a database\n");
}

TEST(Status, ExitCodeTellsWhetherEveryActiveDeviceReadWell) {
    using Prepare = std::function<void(JournalFolder &)>;
    struct Case {
        const char *legend;
        Prepare prepare;
        int exit;
        std::vector<std::string> shown;
        std::string absent;
    };
    const auto oneGood = [](JournalFolder &f) {
        f.addDevice(1, "netw0101", true);
        f.session(1, morning, "X");
    };
    const Case cases[] = {
        {"every active device read X, nothing pending",
         oneGood,
         0,
         {"journal:\n  1  last session 2026-12-05T08:00:00+01:00 X done succesfully  last good "
          "read 2026-12-05T08:00:40+01:00  missed times 0\noutbox: empty\n"},
         "unavailable"},
        {"an inactive device's failure counts for nothing",
         [&](JournalFolder &f) {
             oneGood(f);
             f.addDevice(3, "netw0103", false);
             f.session(3, noon, "P");
         },
         0,
         {"outbox: empty\n"},
         "  3  last session"},
        {"a day of mixed outcomes",
         mixedDay,
         1,
         {"  1  last session 2026-12-05T16:00:00+01:00 X done succesfully  last good read "
          "2026-12-05T16:00:40+01:00  missed times 0\n",
          "  2  last session 2026-12-05T16:00:00+01:00 N logger not answering  last good read "
          "2026-12-05T08:00:40+01:00  missed times 2\n",
          "outbox: 1 pending, the oldest 2 h 0 min old: mail to ops@example.org \"Data of device "
          "2\"\n"},
         "  3  last session"},
        {"an active device without a session yet",
         [&](JournalFolder &f) {
             oneGood(f);
             f.addDevice(2, "netw0102", true);
         },
         1,
         {"  2  no session yet\n"},
         ""},
        {"a session stopped before it left a letter",
         [](JournalFolder &f) {
             f.addDevice(1, "netw0101", true);
             f.session(1, morning, "");
         },
         1,
         {" - no letter  last good read never  missed times 0\n"},
         ""},
        {"a delivery waiting",
         [&](JournalFolder &f) {
             oneGood(f);
             addMail(f, "Report");
         },
         1,
         {"outbox: 1 pending"},
         ""},
        {"a journal that is not SQLite",
         [&](JournalFolder &f) {
             oneGood(f);
             breakJournal(f);
         },
         1,
         {"journal: unavailable ("},
         "outbox"},
        {"no journal file yet",
         [&](JournalFolder &f) {
             oneGood(f);
             f.journal.reset();
             std::filesystem::remove(f.file);
         },
         1,
         {"journal: unavailable ("},
         ""},
        {"no vantrell.conf: as it has always been",
         [&](JournalFolder &f) {
             mixedDay(f);
             std::filesystem::remove(f.config / "vantrell.conf");
         },
         0,
         {"(* scheduled at that time)\n"},
         "journal"},
        {"a damaged vantrell.conf",
         [&](JournalFolder &f) {
             oneGood(f);
             test::writeBytes(f.config / "vantrell.conf", "[journal]\nkeep_days = soon\n");
         },
         2,
         {"vantrell.conf line 2"},
         "journal:"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.legend);
        JournalFolder f;
        c.prepare(f);
        const auto status = runProgram(f.vantrelld({"status"}), true);
        EXPECT_EQ(status.exit, c.exit) << status.output;
        for (const std::string &text : c.shown)
            EXPECT_NE(status.output.find(text), std::string::npos) << text << "\n" << status.output;
        if (!c.absent.empty()) {
            EXPECT_EQ(status.output.find(c.absent), std::string::npos) << status.output;
        }
    }
}

// Each documented name with the JSON types it may take.
using Schema = std::map<std::string, std::vector<nlohmann::json::value_t>>;
constexpr auto string = nlohmann::json::value_t::string;
constexpr auto null = nlohmann::json::value_t::null;
constexpr auto object = nlohmann::json::value_t::object;
constexpr auto array = nlohmann::json::value_t::array;
constexpr auto boolean = nlohmann::json::value_t::boolean;
constexpr auto number = nlohmann::json::value_t::number_unsigned;
constexpr auto integer = nlohmann::json::value_t::number_integer;

void expectSchema(const nlohmann::json &value, const Schema &schema, const std::string &where) {
    ASSERT_TRUE(value.is_object()) << where;
    EXPECT_EQ(value.size(), schema.size()) << where << ": " << value.dump();
    for (const auto &[name, types] : schema) {
        ASSERT_TRUE(value.contains(name)) << where << "." << name;
        const auto type = value[name].type();
        EXPECT_TRUE(std::find(types.begin(), types.end(), type) != types.end())
            << where << "." << name << " is " << value[name].type_name();
    }
}

void expectDocumentedSchema(const nlohmann::json &status) {
    expectSchema(status,
                 {{"folder", {string}},
                  {"schedule", {object}},
                  {"countdown", {object, null}},
                  {"journal", {object}},
                  {"devices", {array}},
                  {"outbox", {object, null}}},
                 "status");
    expectSchema(status["schedule"],
                 {{"times", {array}}, {"day", {string, null}}, {"done", {array}}}, "schedule");
    EXPECT_EQ(status["schedule"]["times"].size(), 4u);
    EXPECT_EQ(status["schedule"]["done"].size(), 4u);
    expectSchema(status["journal"], {{"state", {string}}, {"reason", {string, null}}}, "journal");
    for (const auto &device : status["devices"]) {
        expectSchema(device,
                     {{"device", {number, integer}},
                      {"description", {string}},
                      {"connection", {string}},
                      {"active", {boolean}},
                      {"marks", {array}},
                      {"last_session", {object, null}},
                      {"last_good_read", {string, null}},
                      {"missed_times", {number, integer, null}}},
                     "device");
        EXPECT_EQ(device["marks"].size(), 4u);
        for (const auto &mark : device["marks"])
            expectSchema(
                mark,
                {{"time", {number, integer}}, {"scheduled", {boolean}}, {"mark", {string, null}}},
                "mark");
        if (device["last_session"].is_object())
            expectSchema(device["last_session"],
                         {{"start", {string}},
                          {"end", {string}},
                          {"letter", {string, null}},
                          {"words", {string}},
                          {"records", {number, integer}},
                          {"data_file", {string, null}}},
                         "last_session");
    }
    if (status["outbox"].is_object()) {
        expectSchema(status["outbox"],
                     {{"pending", {number, integer}},
                      {"oldest", {string, null}},
                      {"oldest_delivery", {object, null}}},
                     "outbox");
        if (status["outbox"]["oldest_delivery"].is_object())
            expectSchema(status["outbox"]["oldest_delivery"],
                         {{"kind", {string}},
                          {"device", {number, integer}},
                          {"recipient", {string}},
                          {"what", {string}},
                          {"tries", {number, integer}},
                          {"last_error", {string}}},
                         "oldest_delivery");
    }
}

TEST(Status, JsonCarriesTheSameAsTheLines) {
    struct Case {
        const char *legend;
        std::function<void(JournalFolder &)> prepare;
        int exit;
        std::function<void(const nlohmann::json &)> check;
    };
    const Case cases[] = {
        {"a day of mixed outcomes", mixedDay, 1,
         [](const nlohmann::json &s) {
             EXPECT_EQ(s["journal"], (nlohmann::json{{"state", "ok"}, {"reason", nullptr}}));
             ASSERT_EQ(s["devices"].size(), 3u);
             const auto &second = s["devices"][1];
             EXPECT_EQ(second["device"], 2);
             EXPECT_EQ(second["last_session"],
                       (nlohmann::json{{"start", "2026-12-05T16:00:00+01:00"},
                                       {"end", "2026-12-05T16:00:40+01:00"},
                                       {"letter", "N"},
                                       {"words", "logger not answering"},
                                       {"records", 24},
                                       {"data_file", nullptr}}));
             EXPECT_EQ(second["last_good_read"], "2026-12-05T08:00:40+01:00");
             EXPECT_EQ(second["missed_times"], 2);
             EXPECT_EQ(s["devices"][0]["missed_times"], 0);
             EXPECT_EQ(s["devices"][2]["active"], false);
             EXPECT_EQ(s["devices"][2]["last_session"]["letter"], "P");
             EXPECT_EQ(s["outbox"]["pending"], 1);
             EXPECT_EQ(s["outbox"]["oldest_delivery"]["what"], "Data of device 2");
             EXPECT_EQ(s["outbox"]["oldest_delivery"]["last_error"], "connection refused");
         }},
        {"a journal that is not SQLite",
         [](JournalFolder &f) {
             mixedDay(f);
             breakJournal(f);
         },
         1,
         [](const nlohmann::json &s) {
             EXPECT_EQ(s["journal"]["state"], "unavailable");
             EXPECT_FALSE(s["journal"]["reason"].get<std::string>().empty());
             EXPECT_EQ(s["devices"][0]["last_session"], nullptr);
             EXPECT_EQ(s["outbox"], nullptr);
         }},
        {"no vantrell.conf",
         [](JournalFolder &f) {
             mixedDay(f);
             std::filesystem::remove(f.config / "vantrell.conf");
         },
         0,
         [](const nlohmann::json &s) {
             EXPECT_EQ(s["journal"]["state"], "off");
             EXPECT_EQ(s["devices"][1]["missed_times"], nullptr);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.legend);
        JournalFolder f;
        c.prepare(f);
        const auto status = runProgram(f.vantrelld({"status", "--json"}));
        EXPECT_EQ(status.exit, c.exit) << status.output;
        const auto parsed = nlohmann::json::parse(status.output, nullptr, false);
        ASSERT_FALSE(parsed.is_discarded()) << status.output;
        expectDocumentedSchema(parsed);
        EXPECT_EQ(parsed["folder"], f.config.string());
        c.check(parsed);
    }
}

// A running station holds the folder and, in the middle of a session, a write transaction on
// the journal: status reads what was committed before it and answers at once.
TEST(Status, AnswersBesideARunningStation) {
    JournalFolder f;
    f.addDevice(1, "netw0101", true);
    f.session(1, morning, "X");
    FolderLock running;
    ASSERT_EQ(running.take(f.config, "vantrelld run"), "");
    sqlite3 *writer = nullptr;
    ASSERT_EQ(sqlite3_open(f.file.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer,
                           "BEGIN IMMEDIATE; CREATE TABLE held(x); INSERT INTO held VALUES (1)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);

    const auto status = runProgram(f.vantrelld({"status"}), true);
    EXPECT_EQ(status.exit, 0) << status.output;
    EXPECT_NE(status.output.find("  1  last session 2026-12-05T08:00:00+01:00 X"),
              std::string::npos)
        << status.output;
    const auto exported = runProgram(f.vantrelld({"export"}), true);
    EXPECT_EQ(exported.exit, 0) << exported.output;
    EXPECT_EQ(exported.output, "time_utc,time_local,device,serial,channel,name,unit,value\n");
    sqlite3_close(writer);
}

TEST(Status, OptionsOfOtherCommandsAreRefused) {
    JournalFolder f;
    for (const auto &line :
         std::vector<std::vector<std::string>>{{"status", "--format", "csv"},
                                               {"status", "--since", "2026-01-01"},
                                               {"export", "--json"},
                                               {"read", "1", "--device", "2"},
                                               {"run", "--serial", "KV1"}}) {
        const auto refused = runProgram(f.vantrelld(line), true);
        EXPECT_EQ(refused.exit, 2) << line.front() << " " << line[1];
        EXPECT_NE(refused.output.find("takes no such option"), std::string::npos) << refused.output;
    }
}

} // namespace
} // namespace vantrell

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
#include <sstream>

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
    const UtcSeconds created = std::time(nullptr) - 2 * 3600;
    DeliveryRow row{0,       DeliveryKind::mail,     2,  "ops@example.org",
                    subject, DeliveryState::pending, 1,  "connection refused",
                    created, created + 300,          {}, {}};
    EXPECT_EQ(f.journal->addDelivery(row).text, "");
}

// Device 1 ends the day well, device 2 has missed two times in a row, inactive device 3 failed
// and counts for nothing, and a mail waits in the outbox. Device 1 read one channel; one alarm
// is of today, one of last week.
void mixedDay(JournalFolder &f) {
    const std::vector<Reading> readings{{"05-12-26", "08:00:00", {"21.4"}}};
    StoredReadings stored;
    EXPECT_FALSE(
        f.journal->recordReadings({1, "KV1", {{{true, "Temp", "°C"}}}, &readings}, stored));
    AlarmRow alarm{0, 0, 2, 3, "channel alarm", "Level; Channel 3", "kept for a retry"};
    for (const UtcSeconds ago : {8 * 86400, 3600}) {
        alarm.raised = std::time(nullptr) - ago;
        EXPECT_FALSE(f.journal->recordAlarm(alarm));
    }
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
    const auto table = f.config / "schtitbl.xml";
    test::writeBytes(
        table, test::replaced(test::readBytes(table), "<date></date>", "<date>05/12/2026</date>"));
}

void breakJournal(JournalFolder &f) {
    f.journal.reset();
    test::writeBytes(f.file, "these are not the bytes of a database\n");
}

// `schema` names each documented member with the JSON types it may take: s string, n number,
// b boolean, o object, a array, 0 null ("device:n last_session:o0").
void expectSchema(const nlohmann::json &value, const std::string &schema, const char *where) {
    using T = nlohmann::json::value_t;
    const std::map<char, std::vector<T>> types{
        {'s', {T::string}},  {'n', {T::number_unsigned, T::number_integer}},
        {'b', {T::boolean}}, {'o', {T::object}},
        {'a', {T::array}},   {'0', {T::null}}};
    ASSERT_TRUE(value.is_object()) << where;
    std::istringstream members(schema);
    std::size_t count = 0;
    for (std::string member; members >> member; ++count) {
        const std::string name = member.substr(0, member.find(':'));
        ASSERT_TRUE(value.contains(name)) << where << "." << name;
        bool allowed = false;
        for (const char letter : member.substr(name.size() + 1))
            for (const T type : types.at(letter))
                allowed = allowed || value[name].type() == type;
        EXPECT_TRUE(allowed) << where << "." << name << " is " << value[name].type_name();
    }
    EXPECT_EQ(value.size(), count) << where << ": " << value.dump();
}

void expectDocumentedSchema(const nlohmann::json &status) {
    expectSchema(status,
                 "folder:s schedule:o countdown:o0 journal:o devices:a outbox:o0 alarms:a0 "
                 "journal_bytes:n0",
                 "status");
    for (const auto &alarm : status["alarms"])
        expectSchema(alarm, "time:s device:n channel:n kind:s message:s outcome:s", "alarm");
    expectSchema(status["schedule"], "times:a day:s0 done:a", "schedule");

    EXPECT_EQ(status["schedule"]["times"].size(), 4u);
    EXPECT_EQ(status["schedule"]["done"].size(), 4u);
    expectSchema(status["journal"], "state:s reason:s0", "journal");
    for (const auto &device : status["devices"]) {
        expectSchema(device,
                     "device:n description:s connection:s active:b marks:a last_session:o0 "
                     "last_good_read:s0 missed_times:n0 latest:a0",
                     "device");
        EXPECT_EQ(device["marks"].size(), 4u);
        for (const auto &mark : device["marks"])
            expectSchema(mark, "time:n scheduled:b mark:s0", "mark");
        if (device["last_session"].is_object())
            expectSchema(device["last_session"],
                         "start:s end:s letter:s0 words:s records:n data_file:s0", "last_session");
    }
    if (status["outbox"].is_object()) {
        expectSchema(status["outbox"], "pending:n oldest:s0 oldest_delivery:o0", "outbox");
        if (status["outbox"]["oldest_delivery"].is_object())
            expectSchema(status["outbox"]["oldest_delivery"],
                         "kind:s device:n recipient:s what:s tries:n last_error:s",
                         "oldest_delivery");
    }
}

// The lines and the JSON object tell the same; the exit code whether every active device read
// well. export stops where the journal cannot be read.
TEST(Status, ExitCodeTellsWhetherEveryActiveDeviceReadWell) {
    using Prepare = std::function<void(JournalFolder &)>;
    struct Case {
        const char *legend;
        Prepare prepare;
        int exit;
        std::vector<std::string> shown;
        std::string absent;
        std::function<void(const nlohmann::json &)> json = {}; // what `status --json` says
        std::string exported = {}; // what export says as it stops with exit 1
    };
    const auto oneGood = [](JournalFolder &f) {
        f.addDevice(1, "netw0101", true);
        f.session(1, morning, "X");
    };
    const Case cases[] = {
        {"every active device read X, nothing pending",
         oneGood,
         0,
         {"journal:\n  1  last session 2026-12-05T08:00:00+01:00 X done successfully  last good "
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
         {"  1  last session 2026-12-05T16:00:00+01:00 X done successfully  last good read "
          "2026-12-05T16:00:40+01:00  missed times 0\n",
          "  2  last session 2026-12-05T16:00:00+01:00 N logger not answering  last good read "
          "2026-12-05T08:00:40+01:00  missed times 2\n",
          "outbox: 1 pending, the oldest 2 h 0 min old: mail to ops@example.org \"Data of device "
          "2\"\nalarms in the last 7 days: 1\n"},
         "  3  last session",
         [](const nlohmann::json &s) {
             EXPECT_EQ(s["journal"], (nlohmann::json{{"state", "ok"}, {"reason", nullptr}}));
             EXPECT_EQ(s["schedule"]["day"], "2026-12-05") << "ISO 8601 like every other time";
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
             ASSERT_EQ(s["alarms"].size(), 1u);
             EXPECT_EQ(s["alarms"][0]["outcome"], "kept for a retry");
             EXPECT_EQ(s["devices"][0]["latest"][0]["time"], "2026-12-05T08:00:00+01:00");
             EXPECT_EQ(s["devices"][0]["latest"][0]["value"], 21.4);
             EXPECT_GT(s["journal_bytes"], 0);
         }},
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
         "outbox",
         [](const nlohmann::json &s) {
             EXPECT_EQ(s["journal"]["state"], "unavailable");
             EXPECT_FALSE(s["journal"]["reason"].get<std::string>().empty());
             EXPECT_EQ(s["devices"][0]["last_session"], nullptr);
             EXPECT_EQ(s["outbox"], nullptr);
             EXPECT_EQ(s["alarms"], nullptr);
         },
         "export: journal unavailable ("},
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
         "journal",
         [](const nlohmann::json &s) {
             EXPECT_EQ(s["journal"]["state"], "off");
             EXPECT_EQ(s["devices"][1]["missed_times"], nullptr);
         },
         "export: the journal is off"},
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
        if (!c.exported.empty()) {
            const auto exported = runProgram(f.vantrelld({"export"}), true);
            EXPECT_EQ(exported.exit, 1) << exported.output;
            EXPECT_NE(exported.output.find(c.exported), std::string::npos) << exported.output;
        }
        if (!c.json)
            continue;
        const auto json = runProgram(f.vantrelld({"status", "--json"}));
        EXPECT_EQ(json.exit, c.exit) << json.output;
        const auto parsed = nlohmann::json::parse(json.output, nullptr, false);
        ASSERT_FALSE(parsed.is_discarded()) << json.output;
        expectDocumentedSchema(parsed);
        EXPECT_EQ(parsed["folder"], f.config.string());
        c.json(parsed);
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

} // namespace
} // namespace vantrell

#include "config/ConfFile.h"

#include "ConfigStation.h"
#include "config/Templates.h"
#include "general/Text.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <optional>

namespace vantrell {
namespace {

using test::TempFolder;

constexpr const char *sample = R"([journal]
file = journal.sqlite      ; relative to the configuration folder
keep_days = 400            ; sessions and readings older than this are pruned once a day

[outbox]
first_retry_s = 300        ; first retry of a failed delivery; doubles each time
max_retry_s = 3600
give_up_h = 72             ; then the delivery is dropped with an error line

[silence]
after_missed = 2           ; schedule times in a row without "X" before the alarm; 0 = off
)";

// The settings in one line: "-" for a section that is off.
std::string shown(const ConfSettings &s) {
    std::string text = "journal ";
    text += s.journal ? s.journal->file.string() + " " + std::to_string(s.journal->keepDays) : "-";
    text += ", outbox ";
    text += s.outbox ? std::to_string(s.outbox->firstRetrySeconds) + " " +
                           std::to_string(s.outbox->maxRetrySeconds) + " " +
                           std::to_string(s.outbox->giveUpHours) + " " +
                           std::to_string(s.outbox->snapshotLimitBytes >> 20)
                     : "-";
    text += ", silence ";
    text += s.silence ? std::to_string(s.silence->afterMissed) : "-";
    if (s.mqtt) {
        const MqttSettings &m = *s.mqtt;
        text +=
            ", mqtt " + m.station + " " + m.clientId + " " + m.topic + " " + std::to_string(m.qos);
        if (const std::optional<BrokerUrl> broker = brokerUrl(m.url))
            text += " " + broker->host + ":" + std::to_string(broker->port) +
                    (broker->tls ? " tls" : "");
    }
    if (s.metrics)
        text += s.metrics->on() ? ", metrics on" : ", metrics off";
    if (s.mqtt && s.mqtt->homeAssistantDiscovery())
        text += ", discovery";
    if (s.retry)
        text += ", retry " + std::to_string(s.retry->afterMinutes) + " " +
                std::to_string(s.retry->times);
    if (s.collect)
        text += s.newRecordsOnly() ? ", new records" : ", all records";
    if (s.hooks)
        text += ", hooks " + s.hooks->afterSession.string() + " " + s.hooks->afterReport.string() +
                " " + std::to_string(s.hooks->timeoutSeconds);
    return text;
}

std::string templateText() {
    for (const TemplateFile &file : templateFiles())
        if (file.name == files::stationConf)
            return std::string(file.bytes);
    return "";
}

ConfRead readText(const std::filesystem::path &folder, const std::optional<std::string> &text) {
    if (text)
        test::writeBytes(folder / files::stationConf, *text);
    return readConfFile(folder);
}

TEST(ConfFile, SettingsAsWritten) {
    const std::string all = "journal journal.sqlite 400, outbox 300 3600 72 1024, silence 2";
    const struct {
        const char *legend;
        std::optional<std::string> text; // nothing: no file
        std::string settings;
        bool journalOn;
    } cases[] = {
        {"no file: everything off", std::nullopt, "journal -, outbox -, silence -", false},
        {"the installed template changes nothing", templateText(), "journal -, outbox -, silence -",
         false},
        {"the sample of the documentation", sample, all, true},
        {"Windows line ends and a byte order mark",
         "\xEF\xBB\xBF" + test::replaced(sample, "\n", "\r\n", true), all, true},
        {"empty sections are on with their defaults", "[journal]\n[outbox]\n[silence]", all, true},
        {"the outbox alone needs the journal", "# retries only\n[outbox]\n",
         "journal -, outbox 300 3600 72 1024, silence -", true},
        {"every value at its limits",
         "[journal]\nfile = /var/lib/j.db\nkeep_days = 36500\n[silence]\nafter_missed = 0\n"
         "[outbox]\nfirst_retry_s = 1\nmax_retry_s = 1\ngive_up_h = 1\nsnapshots_max_mb = 1\n",
         "journal /var/lib/j.db 36500, outbox 1 1 1 1, silence 0", true},
        // The station's name in topics tells the instances of one computer apart: by default it
        // is the configuration folder's name, as each vantrelld@ instance has its own folder.
        {"a broker: the folder's name, encoded as any name, names the station",
         "[mqtt]\nurl = mqtts://broker.example\n[metrics]",
         "journal -, outbox -, silence -, mqtt "
         "line%2B2 vantrell-line%2B2 vantrell 1 broker.example:8883 tls, metrics off",
         true},
        {"a station written with $ is no topic's start", "[mqtt]\nurl = mqtt://b\nstation = $hall",
         "journal -, outbox -, silence -, mqtt $hall vantrell-$hall vantrell 1 b:1883", true},
        {"collection beyond one session a time, at their defaults", "[retry]\n[collect]\n[hooks]\n",
         "journal -, outbox -, silence -, retry 15 2, new records, hooks   60", true},
        {"collection as written",
         "[retry]\nafter_minutes = 1440\ntimes = 0\n[collect]\nnew_records_only = no\n"
         "[hooks]\nafter_session = /bin/true\nafter_report = /bin/false\ntimeout_s = 1\n"
         "[mqtt]\ndiscovery = homeassistant\n",
         "journal -, outbox -, silence -, mqtt line%2B2 vantrell-line%2B2 vantrell 1, discovery, "
         "retry 1440 0, all records, hooks /bin/true /bin/false 1",
         true},
        {"blanks around sections, keys and values",
         "  [silence]  ; comment\n\tafter_missed=7\n[journal]\nkeep_days   =   1\n",
         "journal journal.sqlite 1, outbox -, silence 7", true},
    };
    for (const auto &c : cases) {
        TempFolder folder;
        const ConfRead read = readText(folder / "line+2", c.text);
        EXPECT_FALSE(read.problem) << c.legend << ": " << read.problem->describe();
        EXPECT_EQ(shown(read.settings), c.settings) << c.legend;
        EXPECT_EQ(read.settings.journalOn(), c.journalOn) << c.legend;
    }
}

// Metrics and topics name the station: a service on the program's own folder is the host's one
// station, an instance on a folder of its own is one of several on the host.
TEST(ConfFile, TheStationIsNamedAfterItsFolderOrItsHost) {
    std::array<char, 256> host{};
    ASSERT_EQ(gethostname(host.data(), host.size() - 1), 0);
    const std::string broker = "[mqtt]\nurl = mqtt://b\n";
    const struct {
        const char *legend;
        const char *folder;
        std::optional<std::string> text;
        std::string station;
    } cases[] = {
        {"an instance's folder", "line+2", broker, "line+2"},
        {"the program's own folder", "vantrell", broker, host.data()},
        {"a station written in [mqtt] names it for the metrics too", "vantrell",
         broker + "station = hall3\n", "hall3"},
        {"no vantrell.conf", "line2", std::nullopt, "line2"},
    };
    for (const auto &c : cases) {
        TempFolder folder;
        std::filesystem::create_directories(folder / c.folder);
        const ConfRead read = readText(folder / c.folder, c.text);
        EXPECT_EQ(read.settings.station, c.station) << c.legend;
        if (read.settings.mqtt) {
            EXPECT_EQ(read.settings.mqtt->station, topicLevel(c.station)) << c.legend;
        }
    }
}

TEST(ConfFile, AProblemNamesLineAndKey) {
    const std::string station = "line 3: station: not one topic level as written (no /, +, #, %, "
                                "control characters; UTF-8 only)";
    const std::string topic =
        "line 3: topic: not topic levels as written (no +, #, %, control characters; UTF-8 only)";
    const struct {
        const char *legend;
        std::string text;
        std::string problem; // after "<file> "
    } cases[] = {
        {"an unknown section", "[journal]\n\n[mail]\n",
         "line 3: [mail]: not a section of vantrell.conf (journal, outbox, silence, mqtt, "
         "metrics, web, retry, collect, hooks)"},
        {"a switch that is neither yes nor no", "[collect]\nnew_records_only = maybe\n",
         "line 2: new_records_only: not yes or no"},
        {"a discovery nobody listens to", "[mqtt]\ndiscovery = openhab\n",
         "line 2: discovery: not homeassistant (or empty: none)"},
        {"a hook found through a search path", "[hooks]\nafter_report = true\n",
         "line 2: after_report: not an absolute path"},
        {"a hook that is a folder", "[hooks]\ntimeout_s = 5\nafter_session = /tmp\n",
         "line 3: after_session: not a program the service may run"},
        {"more retries than a schedule time holds", "[retry]\ntimes = 11\n",
         "line 2: times: not a whole number from 0 to 10"},
        {"a broker that is no URL", "[mqtt]\nurl = tcp://broker:1883\n",
         "line 2: url: not mqtt://host[:port] or mqtts://host[:port]"},
        {"a broker port out of range", "[mqtt]\nurl = mqtt://broker:70000\n",
         "line 2: url: not mqtt://host[:port] or mqtts://host[:port]"},
        {"a station of two levels", "[mqtt]\nurl = mqtt://b\nstation = hall/3\n", station},
        {"a topic with a wildcard", "[mqtt]\nurl = mqtt://b\ntopic = a/#\n", topic},
        {"a topic level with %", "[mqtt]\nurl = mqtt://b\ntopic = a/5%/b\n", topic},
        {"a topic brokers keep for themselves", "[mqtt]\nurl = mqtt://b\ntopic = $SYS/v\n",
         "line 3: topic: starts with $, which brokers keep for their own topics"},
        {"a quality of service MQTT does not have", "[mqtt]\nqos = 3\n",
         "line 2: qos: not a whole number from 0 to 2"},
        {"a missing password file", "[mqtt]\nurl = mqtt://b\npassword_file = none\n",
         "line 3: password_file: cannot be read: No such file or directory"},
        {"a page open to the network without protection", "[web]\nlisten = 0.0.0.0:8080\n",
         "line 2: listen: an address beyond this computer needs user, password_file, cert_file "
         "and key_file"},
        {"a listen address without a port", "[web]\nlisten = 127.0.0.1\n",
         "line 2: listen: not host:port (127.0.0.1:8080, [::1]:8080)"},
        {"a user without a password", "[web]\nlisten = [::1]:80\nuser = op\n",
         "line 3: user: a user needs a password_file"},
        {"a certificate without its key", "[web]\nlisten = localhost:80\ncert_file = c.pem\n",
         "line 3: cert_file: cert_file and key_file go together"},
        {"an unknown key", "[journal]\nkeepdays = 4\n",
         "line 2: keepdays: not a setting of [journal] (file, keep_days)"},
        {"a key of another section", "[silence]\ngive_up_h = 4\n",
         "line 2: give_up_h: not a setting of [silence] (after_missed)"},
        {"not a whole number", "[journal]\n; comment\nkeep_days = 4.5\n",
         "line 3: keep_days: not a whole number from 1 to 36500"},
        {"below the range", "[journal]\nkeep_days = 0\n",
         "line 2: keep_days: not a whole number from 1 to 36500"},
        {"above the range", "[silence]\nafter_missed = 1001\n",
         "line 2: after_missed: not a whole number from 0 to 1000"},
        {"a sign", "[silence]\nafter_missed = -0\n",
         "line 2: after_missed: not a whole number from 0 to 1000"},
        {"a number too big for any counter", "[outbox]\ngive_up_h = 99999999999999999999\n",
         "line 2: give_up_h: not a whole number from 1 up"},
        {"a comment without a blank before it", "[outbox]\ngive_up_h = 4;hours\n",
         "line 2: give_up_h: not a whole number from 1 up"},
        {"an empty value", "[outbox]\nsnapshots_max_mb =\n",
         "line 2: snapshots_max_mb: not a whole number from 1 up"},
        {"an empty journal file name", "[journal]\nfile = ; none\n",
         "line 2: file: empty; name the journal file"},
        {"a section twice", "[silence]\n[journal]\n[silence]\n",
         "line 3: [silence]: the section is given twice"},
        {"a key twice", "[outbox]\ngive_up_h = 4\ngive_up_h = 4\n",
         "line 3: give_up_h: given twice in its section"},
        {"a key before every section", "keep_days = 4\n[journal]\n",
         "line 1: keep_days: a setting before the first section"},
        {"a line without =", "[journal]\nkeep_days\n",
         "line 2: neither a section, a setting (key = value) nor a comment"},
        {"the first problem wins over inih's later one", "[journal]\nx = 1\nkeep_days\n",
         "line 2: x: not a setting of [journal] (file, keep_days)"},
        {"inih's problem wins over a later one", "[journal]\nkeep_days\nx = 1\n",
         "line 2: neither a section, a setting (key = value) nor a comment"},
        {"a line longer than inih takes", "[journal]\n;" + std::string(300, 'x') + "\n",
         "line 2: longer than the 197 characters a line may have"},
        {"the longest retry shorter than the first",
         "[outbox]\nmax_retry_s = 10\nfirst_retry_s = 20",
         "line 2: max_retry_s: less than first_retry_s (20)"},
        {"the first retry longer than the default longest", "[outbox]\n\nfirst_retry_s = 5000\n",
         "line 3: first_retry_s: more than max_retry_s (3600)"},
    };
    for (const auto &c : cases) {
        TempFolder folder;
        const ConfRead read = readText(folder.path(), c.text);
        ASSERT_TRUE(read.problem) << c.legend;
        EXPECT_EQ(read.problem->describe(),
                  (folder / files::stationConf).string() + " " + c.problem)
            << c.legend;
        EXPECT_EQ(shown(read.settings), "journal -, outbox -, silence -") << c.legend;
    }
}

// A password file is the operator's alone to read; a hook, which runs as the service, the
// owner's alone to change.
TEST(ConfFile, AFileOthersMayReadOrChangeIsRefused) {
    TempFolder folder;
    const std::string secret = "[web]\nlisten = 192.0.2.1:8443\nuser = op\n"
                               "password_file = secret\ncert_file = c\nkey_file = k\n";
    const std::string hook = "[hooks]\nafter_session = " + (folder / "secret").string() + "\n";
    const struct {
        std::string text;
        int mode;
        std::string problem; // empty: none
    } cases[] = {
        {secret, 0600, ""},
        {secret, 0400, ""},
        {secret, 0640, "line 4: password_file: others may read it (mode 0640); chmod 600 it"},
        {hook, 0755, ""},
        {hook, 0775, "line 2: after_session: others may change it (mode 0775); chmod go-w it"},
        {hook, 0757, "line 2: after_session: others may change it (mode 0757); chmod go-w it"},
    };
    for (const auto &c : cases) {
        test::writeBytes(folder / "secret", "pw\n");
        ::chmod((folder / "secret").c_str(), mode_t(c.mode));
        const ConfRead read = readText(folder.path(), c.text);
        EXPECT_EQ(read.problem ? read.problem->describe() : "",
                  c.problem.empty() ? "" : (folder / files::stationConf).string() + " " + c.problem)
            << std::oct << c.mode;
    }
}

TEST(ConfFile, AFileThatCannotBeReadIsLineZero) {
    TempFolder folder;
    const std::filesystem::path conf = folder / files::stationConf;
    std::filesystem::create_directory(conf);
    ConfRead read = readConfFile(folder.path());
    ASSERT_TRUE(read.problem);
    EXPECT_EQ(read.problem->describe(), conf.string() + ": cannot be read: not a file");
    std::filesystem::remove(conf);

    if (geteuid() == 0)
        GTEST_SKIP() << "root reads a file without read permission";
    test::writeBytes(conf, "[journal]\n");
    std::filesystem::permissions(conf, std::filesystem::perms::none);
    read = readConfFile(folder.path());
    ASSERT_TRUE(read.problem);
    EXPECT_EQ(read.problem->describe(), conf.string() + ": cannot be read: Permission denied");
    EXPECT_FALSE(read.settings.journalOn());
}

} // namespace
} // namespace vantrell

// A whole day in virtual time with fifty devices on one line, each failing in a way of its own:
// every schedule time ends and is reported with a line for every device, and no device is read
// again in the same time, whatever its failure. With the journal on, the same day leaves one
// row per session with the letter of its mark, and the readings of every saved file once.
#include "CycleBench.h"
#include "cycle/SessionTexts.h"
#include "forwarding/Report.h"
#include "general/Text.h"
#include "sim/HayesModem.h"
#include "sim/LineSwitch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace vantrell {
namespace {

using testing::CycleBench;
using testing::loggerWith;

// One line, a station of its own behind it for each device: the bytes reach the station of the
// device being read.
class StationRouter final : public sim::Device {
public:
    explicit StationRouter(const Station &station) : station_(station) {}

    void connect(int slot, sim::Device &front) {
        fronts_.at(slot) = &front;
        front.attachUpstream([this](std::string_view bytes) { answer(bytes); });
    }
    void receive(unsigned char byte) override {
        if (sim::Device *front = fronts_.at(station_.session.device))
            front->receive(byte);
    }

private:
    const Station &station_;
    std::array<sim::Device *, maxDevices + 1> fronts_{};
};

// How a station is configured, and what its deliveries do.
enum class Setting {
    asReported,
    wrongSerial,
    noDataFolder,
    mailRefused,
    uploadFails,
    smsUnconfirmed
};

struct FailureKind {
    const char *legend;
    const char *connection;
    bool useSwitch;
    std::vector<sim::Fault> faults; // of the logger, the switch or a modem in front, by kind
    Setting setting;
    const char *letter;
    int transfers; // memory transfers of one session
};

const std::vector<FailureKind> &failureKinds() {
    using enum sim::FaultKind;
    using enum Setting;
    static const std::vector<FailureKind> kinds = {
        {"healthy", "locl0000", false, {}, asReported, "X", 1},
        {"modem silent", "0211010255", true, {{modemSilent, 0}}, asReported, "M", 0},
        {"no CONNECT", "0211010255", true, {{modemBusy, 0}}, asReported, "C", 0},
        {"wrong serial", "locl0000", false, {}, wrongSerial, "P", 0},
        {"switch silent", "netw0102", true, {{silentSwitch, 0}}, asReported, "S", 0},
        {"empty module status", "netw0102", true, {{emptyModuleStatus, 0}}, asReported, "T", 0},
        {"parameters unreadable", "locl0000", false, {{emptyParameters, 0}}, asReported, "L", 0},
        {"silent logger behind a switch", "netw0102", true, {{silent, 0}}, asReported, "N", 0},
        {"silent logger, no switch: S", "locl0000", false, {{silent, 0}}, asReported, "S", 0},
        {"transfer cut each time", "locl0000", false, {{stopsAfterRecord, 3}}, asReported, "I", 3},
        {"data folder missing", "locl0000", false, {}, noDataFolder, "W", 3},
        {"data mail refused", "locl0000", false, {}, mailRefused, "F", 1},
        {"upload failed", "netw0102", true, {}, uploadFails, "F", 1},
        {"alarm SMS not confirmed", "locl0000", false, {}, smsUnconfirmed, "A", 1},
    };
    return kinds;
}

const FailureKind &kindOf(int slot) {
    return failureKinds()[std::size_t(slot - 1) % failureKinds().size()];
}

// Schedule times 03:00, 09:00, 15:00 and 21:00; every device active, scheduled at all four,
// erasing its logger's memory once it is saved.
struct FailingDay : CycleBench {
    explicit FailingDay(const ConfSettings &settings = {})
        : CycleBench({2026, 2, 3, 2, 58, 0}, settings), router(station) {
        for (int s = 1; s <= scheduleTimeCount; ++s)
            station.scheduleTimes[s] = std::to_string(3 + 6 * (s - 1));
        for (int slot = 1; slot <= maxDevices; ++slot)
            addStation(slot, kindOf(slot));
        station.devices[1][field::reportEnabled] = "1";
        station.devices[1][field::reportAddress] = "ops@example.org";
        port.attach(router);
        saveConfiguration();
        forwarding.fails = [](const std::string &call, int slot) {
            const Setting setting = kindOf(slot).setting;
            return (setting == Setting::mailRefused && call == "mail") ||
                   (setting == Setting::uploadFails && call == "ftp") ||
                   (setting == Setting::smsUnconfirmed && call == "absolute");
        };
    }

    void addStation(int slot, const FailureKind &kind) {
        const std::string serial = "KV" + zeroPad(slot, 8);
        const bool wrongSerial = kind.setting == Setting::wrongSerial;
        DeviceRecord &d =
            configure(slot, kind.connection, {wrongSerial ? "KV99999999" : serial}, kind.useSwitch);
        d[field::eraseMemory] = "1";
        for (int s = 1; s <= scheduleTimeCount; ++s)
            d[field::scheduleSlot1 + s - 1] = "1";
        if (kind.setting == Setting::noDataFolder)
            d[field::dataDirectory] = (folder.path() / "missing").string();
        d[field::forwardEnabled] = "1";
        d[field::forwardKind] = kind.setting == Setting::uploadFails ? "1" : "0";
        const auto faultsOf = [&kind](auto belongs) {
            std::vector<sim::Fault> taken;
            std::copy_if(kind.faults.begin(), kind.faults.end(), std::back_inserter(taken),
                         [&](const sim::Fault &f) { return belongs(f.kind); });
            return taken;
        };
        const auto ofLogger = [](sim::FaultKind f) {
            return !sim::isSwitchFault(f) && !sim::isModemFault(f);
        };
        sim::Logger &logger = addLogger(loggerWith(serial, 5, faultsOf(ofLogger)));
        loggerAt[slot] = &logger;
        sim::Device *front = &logger;
        if (kind.useSwitch) {
            auto line = std::make_unique<sim::LineSwitch>(world, faultsOf(sim::isSwitchFault));
            line->place(1, *front);
            front = line.get();
            fronts.push_back(std::move(line));
        }
        if (const auto modemFaults = faultsOf(sim::isModemFault); !modemFaults.empty()) {
            fronts.push_back(std::make_unique<sim::HayesModem>(world, *front, modemFaults));
            front = fronts.back().get();
        }
        router.connect(slot, *front);
    }

    int sessionsOf(int slot) const {
        const std::string start =
            std::string(sessionText::preparingConnection) + " " + std::to_string(slot);
        const auto texts = progress.texts(ProgressLine::detail);
        return int(std::count(texts.begin(), texts.end(), start));
    }

    StationRouter router;
    std::vector<std::unique_ptr<sim::Device>> fronts;
    std::array<sim::Logger *, maxDevices + 1> loggerAt{};
};

int transfers(const sim::Logger &logger) {
    return logger.count(sim::LoggerEvent::Kind::recordsSent) +
           logger.count(sim::LoggerEvent::Kind::transferCut);
}

TEST(Schedule, AWholeDayWithEveryKindOfFailure) {
    FailingDay b;
    b.runUntil(0, 0, 4);

    std::vector<std::string> reports;
    std::copy_if(b.forwarding.calls.begin(), b.forwarding.calls.end(), std::back_inserter(reports),
                 [](const std::string &call) { return call.starts_with("report"); });
    EXPECT_EQ(reports, (std::vector<std::string>{"report 1", "report 3", "report 5", "report 7"}));
    EXPECT_NE(b.file("schtitbl.xml").find("04/02/2026"), std::string::npos) << "the day closed";

    for (std::size_t r = 0; r < b.forwarding.reportedMarks.size(); ++r) {
        const int doneMark = 2 * int(r + 1);
        for (int slot = 1; slot <= maxDevices; ++slot) {
            const std::string mark = b.forwarding.reportedMarks[r].at(doneMark, slot);
            EXPECT_EQ(mark, kindOf(slot).letter) << kindOf(slot).legend << ", time " << r + 1;
            EXPECT_FALSE(statusReportText(mark).empty()) << "a line of its own for " << mark;
        }
    }
    for (int slot = 1; slot <= maxDevices; ++slot) {
        const FailureKind &kind = kindOf(slot);
        const sim::Logger &logger = *b.loggerAt[slot];
        EXPECT_EQ(b.sessionsOf(slot), scheduleTimeCount) << kind.legend << ", slot " << slot;
        EXPECT_EQ(transfers(logger), scheduleTimeCount * kind.transfers) << kind.legend;
        EXPECT_EQ(logger.count(sim::LoggerEvent::Kind::erased),
                  dataSaved(kind.letter) ? scheduleTimeCount : 0)
            << kind.legend;
    }
}

TEST(Schedule, AWholeDayWithEveryKindOfFailureInTheJournal) {
    ConfSettings journalOn;
    journalOn.journal.emplace();
    FailingDay b(journalOn);
    b.runUntil(0, 0, 4);
    const std::unique_ptr<Journal> journal = b.readJournal();
    ASSERT_NE(journal, nullptr);

    for (int slot = 1; slot <= maxDevices; ++slot) {
        const FailureKind &kind = kindOf(slot);
        DeviceJournal seen;
        ASSERT_FALSE(journal->deviceJournal(slot, seen)) << slot;
        ASSERT_TRUE(seen.lastSession.has_value()) << kind.legend;
        std::string letters;
        for (int s = 0; s < scheduleTimeCount; ++s)
            letters += kind.letter;
        EXPECT_EQ(seen.lastLetters, letters) << kind.legend << ", slot " << slot;
        EXPECT_EQ(seen.lastSession->scheduleTime, scheduleTimeCount) << kind.legend;
        EXPECT_EQ(seen.missedTimes, dataSaved(kind.letter) ? 0 : scheduleTimeCount) << kind.legend;
        EXPECT_LE(seen.lastSession->started, seen.lastSession->ended) << kind.legend;

        // Every logger holds five records; only a file written in full reaches the journal.
        std::map<int, int> perChannel;
        std::set<std::pair<int, UtcSeconds>> keys;
        ASSERT_FALSE(journal->forEachReading({slot, {}, {}, {}}, [&](const ExportedReading &r) {
            ++perChannel[r.channel];
            EXPECT_TRUE(keys.insert({r.channel, r.utc}).second) << "stored twice";
        }));
        if (!dataSaved(kind.letter)) {
            EXPECT_TRUE(perChannel.empty()) << kind.legend;
            continue;
        }
        EXPECT_FALSE(perChannel.empty()) << kind.legend;
        for (const auto &[channel, count] : perChannel)
            EXPECT_EQ(count, 5) << kind.legend << ", channel " << channel;
    }
}

} // namespace
} // namespace vantrell

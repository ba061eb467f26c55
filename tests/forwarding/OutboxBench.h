// A station in virtual time whose forwarding goes through an outbox on a journal of its own, with
// a simulated GSM modem (faults given) on the SMS port, and what the outbox logged. The station's
// mail and FTP sessions are real unless a test gives others; the outbox thread's are real.
#pragma once

#include "ForwardingBench.h"
#include "TempFolder.h"
#include "forwarding/Outbox.h"
#include "forwarding/StationForwarding.h"
#include "journal/Journal.h"
#include "journal/JournalFixture.h"
#include "sim/Faults.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace vantrell::testing {

struct OutboxBench : DeviceSevenBench {
    explicit OutboxBench(std::optional<OutboxSettings> given = OutboxSettings{},
                         std::vector<sim::Fault> smsFaults = {},
                         MailSessionFactory mail = curlMailSessions(),
                         FtpSessionFactory ftp = curlFtpSessions())
        : DeviceSevenBench(smsFaults), settings(given), mail_(std::move(mail)),
          ftp_(std::move(ftp)) {
        open();
    }

    // The station stops and starts again on the same journal and snapshots.
    void restart() {
        forwarding.reset();
        outbox.reset();
        journal.reset();
        open();
    }

    OutboxWorker worker() {
        return OutboxWorker(journalFile(), settings.value_or(OutboxSettings{}), curlMailSessions(),
                            curlFtpSessions(), logger());
    }

    OutboxLog logger() {
        return [this](LogPriority priority, const std::string &text) {
            const std::lock_guard lock(logMutex);
            log.push_back({priority, text});
        };
    }
    std::vector<std::string> errors() {
        const std::lock_guard lock(logMutex);
        std::vector<std::string> out;
        for (const auto &[priority, text] : log)
            if (priority == LogPriority::error)
                out.push_back(text);
        return out;
    }
    std::string lastLog() {
        const std::lock_guard lock(logMutex);
        return log.empty() ? std::string() : log.back().second;
    }

    std::filesystem::path journalFile() const { return folder.path() / "journal.sqlite"; }
    std::filesystem::path snapshots() const { return folder.path() / "outbox"; }
    int snapshotCount() const {
        int n = 0;
        if (std::filesystem::exists(snapshots()))
            for (const auto &entry : std::filesystem::recursive_directory_iterator(snapshots()))
                n += entry.is_regular_file() ? 1 : 0;
        return n;
    }
    // Lets the station's time run on to `utc`.
    void runUntil(UtcSeconds utc) { world.runFor(double(utc - utcNow())); }
    UtcSeconds utcNow() { return toUtc(world.clock().localNow()).utc; }

    std::vector<DeliveryRow> pending() {
        std::vector<DeliveryRow> rows;
        EXPECT_FALSE(journal->pendingDeliveries(rows)) << "pending deliveries";
        return rows;
    }
    // Every delivery the journal holds, oldest first, as "kind recipient state tries", comma
    // separated.
    std::string deliveries() const {
        return RawConnection(journalFile())
            .run("SELECT group_concat(kind || ' ' || recipient || ' ' || state || ' ' || tries, "
                 "', ') FROM (SELECT * FROM deliveries ORDER BY id)");
    }

    std::optional<OutboxSettings> settings; // nullopt: the journal alone
    TempFolder folder;
    std::mutex logMutex;
    std::vector<std::pair<LogPriority, std::string>> log;
    std::unique_ptr<Journal> journal;
    std::unique_ptr<Outbox> outbox;
    std::unique_ptr<StationForwarding> forwarding;

private:
    void open() {
        const JournalProblem problem =
            Journal::open(journalFile(), Journal::Access::write, journal);
        EXPECT_FALSE(problem) << problem.text;
        outbox =
            std::make_unique<Outbox>(journal.get(), settings, snapshots(), world.clock(), logger());
        forwarding = std::make_unique<StationForwarding>(
            station, ForwardingServices{mail_, ftp_, smsPort, *outbox});
    }

    MailSessionFactory mail_;
    FtpSessionFactory ftp_;
};

} // namespace vantrell::testing

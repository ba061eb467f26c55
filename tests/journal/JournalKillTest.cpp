// A station killed while it writes the journal: the journal opens afterwards, whole, holding
// every batch it committed and no part of the one it was writing, and the next round's writer
// goes on with it.
#include "JournalFixture.h"

#include <csignal>
#include <poll.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace vantrell::testing {
namespace {

constexpr int batchRecords = 1000;
constexpr int batchReadings = 4 * batchRecords;

LocalDateTime batchStart(int batch) {
    return LocalDateTime{2026, 1, 1, 0, 0, 0}.plusSeconds(batch * batchRecords * 600LL);
}

// The child: batch after batch from `firstBatch` on, one byte on `progress` after each commit.
[[noreturn]] void writeBatches(const std::filesystem::path &file, int firstBatch, int progress) {
    std::unique_ptr<Journal> journal;
    if (Journal::open(file, Journal::Access::write, journal))
        _exit(1);
    for (int batch = firstBatch;; ++batch) {
        const auto readings = memory(batchRecords, batchStart(batch));
        StoredReadings stored;
        if (journal->recordReadings(batchOf(readings), stored) || write(progress, "b", 1) != 1)
            _exit(1);
    }
}

TEST(JournalKill, ASigkillDuringABatchLeavesAWholeJournal) {
    TempFolder folder;
    const auto file = folder / "journal.sqlite";
    std::random_device seed;
    const unsigned seen = seed();
    SCOPED_TRACE("seed " + std::to_string(seen));
    std::mt19937 random(seen);
    int committed = 0;
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int progress[2];
        ASSERT_EQ(pipe(progress), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(progress[0]);
            writeBatches(file, round * 100, progress[1]);
        }
        close(progress[1]);
        // After a random count of commits, and a random part of the next batch.
        const int commits = std::uniform_int_distribution(1, 3)(random);
        char byte = 0;
        for (int k = 0; k < commits; ++k)
            ASSERT_EQ(read(progress[0], &byte, 1), 1) << "the child stopped writing";
        pollfd next{progress[0], POLLIN, 0};
        poll(&next, 1, std::uniform_int_distribution(0, 40)(random));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        while (read(progress[0], &byte, 1) == 1)
            ++committed;
        close(progress[0]);
        committed += commits;
        EXPECT_TRUE(WIFSIGNALED(status));

        std::unique_ptr<Journal> journal;
        ASSERT_EQ(Journal::open(file, Journal::Access::write, journal).text, "");
        RawConnection check(file);
        EXPECT_EQ(check.run("PRAGMA integrity_check"), "ok");
        const int readings = std::stoi(check.run("SELECT count(*) FROM readings"));
        EXPECT_EQ(readings % batchReadings, 0) << readings;
        // A commit it reported before the kill is there; at most the batch it was in is lost.
        EXPECT_GE(readings, committed * batchReadings);
    }
}

} // namespace
} // namespace vantrell::testing

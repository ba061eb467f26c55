// The few SQLite calls the journal makes, without a throw: a statement that remembers its first
// failure, and a write transaction that rolls back unless it was committed. Private to the
// journal.
#pragma once

#include "journal/Journal.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3_stmt;

namespace vantrell::sqlite {

// "journal /x/journal.sqlite: " and what went wrong.
JournalProblem problem(sqlite3 *db, std::string_view what);
// The connection's last error.
JournalProblem lastError(sqlite3 *db);
// Runs statements that return no rows.
JournalProblem exec(sqlite3 *db, const char *sql);

class Statement {
public:
    Statement(sqlite3 *db, std::string_view sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // Parameters count from 1, as in SQLite.
    void bindInt(int index, std::int64_t value);
    void bindReal(int index, double value);
    void bindReal(int index, const std::optional<double> &value);
    void bindText(int index, std::string_view value);
    void bindBlob(int index, std::string_view value);
    void bindNull(int index);

    // Steps once: true when a row came, false at the end or on a failure (see failure()).
    bool next();
    // Runs a statement that returns no rows, and makes it ready to run again.
    JournalProblem run();
    // Ready to run again, with its parameters kept.
    void reset();
    // Rows the last run inserted, changed or deleted.
    std::int64_t changes() const;
    // The first failure of preparing, binding or stepping; empty when none.
    JournalProblem failure() const { return {failure_}; }

    // Columns count from 0.
    bool isNull(int column) const;
    std::int64_t integer(int column) const;
    double real(int column) const;
    std::string text(int column) const;
    std::string blob(int column) const;

private:
    void check(int rc);

    sqlite3 *db_;
    sqlite3_stmt *stmt_ = nullptr;
    std::string failure_;
};

// BEGIN IMMEDIATE: the write lock is taken at once (or the bounded wait ends), so a transaction
// never fails halfway for want of it.
class Transaction {
public:
    explicit Transaction(sqlite3 *db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // Why it could not begin; empty when it did.
    JournalProblem failure() const { return {failure_}; }
    JournalProblem commit();

private:
    sqlite3 *db_;
    std::string failure_;
    bool open_ = false;
};

} // namespace vantrell::sqlite

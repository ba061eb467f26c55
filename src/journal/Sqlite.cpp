#include "journal/Sqlite.h"

#include <sqlite3.h>

namespace vantrell::sqlite {

JournalProblem problem(sqlite3 *db, std::string_view what) {
    const char *file = db != nullptr ? sqlite3_db_filename(db, "main") : nullptr;
    return {"journal " + std::string(file != nullptr ? file : "") + ": " + std::string(what)};
}

JournalProblem lastError(sqlite3 *db) {
    return problem(db, sqlite3_errmsg(db));
}

JournalProblem exec(sqlite3 *db, const char *sql) {
    char *message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return {};
    JournalProblem failed = problem(db, message != nullptr ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    return failed;
}

Statement::Statement(sqlite3 *db, std::string_view sql) : db_(db) {
    check(sqlite3_prepare_v3(db, sql.data(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt_,
                             nullptr));
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

void Statement::check(int rc) {
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE && failure_.empty())
        failure_ = lastError(db_).text;
}

void Statement::bindInt(int index, std::int64_t value) {
    check(sqlite3_bind_int64(stmt_, index, value));
}

void Statement::bindReal(int index, double value) {
    check(sqlite3_bind_double(stmt_, index, value));
}

void Statement::bindReal(int index, const std::optional<double> &value) {
    if (value)
        bindReal(index, *value);
    else
        bindNull(index);
}

void Statement::bindText(int index, std::string_view value) {
    check(sqlite3_bind_text64(stmt_, index, value.data(), value.size(), SQLITE_TRANSIENT,
                              SQLITE_UTF8));
}

void Statement::bindBlob(int index, std::string_view value) {
    check(sqlite3_bind_blob64(stmt_, index, value.data(), value.size(), SQLITE_TRANSIENT));
}

void Statement::bindNull(int index) {
    check(sqlite3_bind_null(stmt_, index));
}

bool Statement::next() {
    if (!failure_.empty())
        return false;
    const int rc = sqlite3_step(stmt_);
    check(rc);
    return rc == SQLITE_ROW;
}

JournalProblem Statement::run() {
    while (next()) {
    }
    reset();
    return failure();
}

void Statement::reset() {
    sqlite3_reset(stmt_);
}

std::int64_t Statement::changes() const {
    return sqlite3_changes64(db_);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

double Statement::real(int column) const {
    return sqlite3_column_double(stmt_, column);
}

std::string Statement::text(int column) const {
    const auto *chars = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
    return chars != nullptr ? std::string(chars, std::size_t(sqlite3_column_bytes(stmt_, column)))
                            : std::string();
}

std::string Statement::blob(int column) const {
    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(stmt_, column));
    return bytes != nullptr ? std::string(bytes, std::size_t(sqlite3_column_bytes(stmt_, column)))
                            : std::string();
}

Transaction::Transaction(sqlite3 *db) : db_(db) {
    failure_ = exec(db, "BEGIN IMMEDIATE").text;
    open_ = failure_.empty();
}

Transaction::~Transaction() {
    if (open_)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

JournalProblem Transaction::commit() {
    JournalProblem failed = exec(db_, "COMMIT");
    // A COMMIT that failed may leave the transaction open (SQLITE_BUSY); the destructor ends it.
    open_ = !sqlite3_get_autocommit(db_);
    return failed;
}

} // namespace vantrell::sqlite

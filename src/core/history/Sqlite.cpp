#include "history/Sqlite.h"

#include <sqlite3.h>

#include <utility>

namespace tolvan::sqlite {

namespace {

[[noreturn]] void fail(sqlite3* db, int rc)
{
    throw SqliteError(rc, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

}  // namespace

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db)
{
    const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK)
        fail(db, rc);
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), stmt_(std::exchange(other.stmt_, nullptr))
{
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = std::exchange(other.db_, nullptr);
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

void Statement::check(int rc) const
{
    if (rc != SQLITE_OK)
        fail(db_, rc);
}

Statement& Statement::bind(int index, std::string_view text)
{
    check(sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::bindBlob(int index, std::string_view bytes)
{
    check(sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::bindUncopied(int index, std::string_view text)
{
    check(sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC));
    return *this;
}

Statement& Statement::bindBlobUncopied(int index, std::string_view bytes)
{
    check(sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC));
    return *this;
}

Statement& Statement::bind(int index, std::int64_t value)
{
    check(sqlite3_bind_int64(stmt_, index, value));
    return *this;
}

Statement& Statement::bindNull(int index)
{
    check(sqlite3_bind_null(stmt_, index));
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(stmt_);
    fail(db_, rc);
}

void Statement::run()
{
    while (step()) {
    }
    reset();
}

void Statement::runRebound()
{
    while (step()) {
    }
    sqlite3_reset(stmt_);
}

void Statement::reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string Statement::text(int column) const
{
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return bytes ? std::string(bytes, static_cast<std::size_t>(size)) : std::string();
}

std::string_view Statement::view(int column) const
{
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return bytes ? std::string_view(bytes, static_cast<std::size_t>(size)) : std::string_view();
}

std::int64_t Statement::integer(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

Database::Database(const std::string& path, Mode mode)
{
    // A connection is only ever used by the thread that opened it: no locking on every call.
    const int flags = (mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
                      SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw SqliteError(rc, message);
    }
    sqlite3_extended_result_codes(db_, 1);
}

Database::~Database()
{
    sqlite3_close_v2(db_);
}

void Database::exec(std::string_view sql)
{
    const std::string text(sql);
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const std::string why = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        throw SqliteError(rc, why);
    }
}

int Database::userVersion()
{
    Statement query(db_, "PRAGMA user_version");
    return query.step() ? static_cast<int>(query.integer(0)) : 0;
}

std::int64_t Database::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(db_);
}

Transaction::Transaction(Database& db) : db_(db)
{
    db_.exec("BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (!done_) {
        try {
            db_.exec("ROLLBACK");
        } catch (const SqliteError&) {
            // Nothing more can be done; the connection rolls back on close.
        }
    }
}

void Transaction::commit()
{
    db_.exec("COMMIT");
    done_ = true;
}

}  // namespace tolvan::sqlite

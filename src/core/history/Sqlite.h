#pragma once
// A thin RAII layer over the SQLite C interface: a connection, prepared
// statements and a transaction guard. Failures are thrown as SqliteError.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tolvan::sqlite {

class SqliteError : public std::runtime_error {
public:
    SqliteError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters are numbered from 1, as in SQL.
    Statement& bind(int index, std::string_view text);
    Statement& bindBlob(int index, std::string_view bytes);
    Statement& bind(int index, std::int64_t value);
    Statement& bindNull(int index);
    // The same without a copy: the bytes must stay in place until the
    // statement has run or is reset (rows written in a batch are bound so).
    Statement& bindUncopied(int index, std::string_view text);
    Statement& bindBlobUncopied(int index, std::string_view bytes);

    // Steps once: true while a row is ready, false when done.
    bool step();
    // Runs to the end and readies the statement for new parameters.
    void run();
    // Runs it and resets it, keeping the bindings: for a statement whose every
    // parameter is bound again before its next run.
    void runRebound();
    void reset();

    std::string text(int column) const;
    // The same without a copy: valid until the next step or reset.
    std::string_view view(int column) const;
    std::int64_t integer(int column) const;
    bool isNull(int column) const;

private:
    void check(int rc) const;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

class Database {
public:
    enum class Mode { ReadWriteCreate, ReadOnly };
    // Opens the file; throws SqliteError when it cannot be opened.
    Database(const std::string& path, Mode mode);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(std::string_view sql);
    Statement prepare(std::string_view sql) { return Statement(db_, sql); }
    int userVersion();
    std::int64_t lastInsertRowId() const;
    sqlite3* handle() { return db_; }

private:
    sqlite3* db_ = nullptr;
};

// Commits at commit(); rolls back when left without it.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    void commit();

private:
    Database& db_;
    bool done_ = false;
};

}  // namespace tolvan::sqlite

#include "history/HistoryStore.h"

#include <algorithm>
#include <cctype>

#include "history/HistoryMigrations.h"
#include "history/Sqlite.h"
#include "util/Files.h"
#include "util/TextCodec.h"

namespace tolvan {

namespace {

// A locked database is given this long before the store turns itself off: a
// run must never wait on another program's transaction.
constexpr int kBusyTimeoutMs = 250;

}  // namespace

std::string historyTime(std::time_t t)
{
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string maskKey(const std::string& address, const std::string& key)
{
    std::string masked = address;
    // The value of every "key=" parameter of the query.
    const auto query = masked.find('?');
    if (query != std::string::npos) {
        std::size_t pos = query;
        while (pos < masked.size()) {
            const std::size_t start = pos + 1;
            if (masked.compare(start, 4, "key=") == 0) {
                const std::size_t valueStart = start + 4;
                std::size_t end = masked.find('&', valueStart);
                if (end == std::string::npos)
                    end = masked.size();
                if (end > valueStart)
                    masked.replace(valueStart, end - valueStart, "****");
            }
            pos = masked.find('&', start);
            if (pos == std::string::npos)
                break;
        }
    }
    // The key wherever else it appears (the key file's name in a key location).
    if (key.size() >= 8) {
        std::size_t pos = 0;
        while ((pos = masked.find(key, pos)) != std::string::npos) {
            masked.replace(pos, key.size(), "****");
            pos += 4;
        }
    }
    return masked;
}

HistoryStore::HistoryStore(const std::string& baseDir, Access access)
{
    open(joinPath(baseDir, kHistoryFileName), access);
}

HistoryStore::~HistoryStore()
{
    flush();
}

sqlite::Database* HistoryStore::database()
{
    flush();
    return db_.get();
}

void HistoryStore::open(const std::string& path, Access access)
{
    if (access == Access::ReadOnly && !fileExists(path))
        return;  // nothing recorded yet: an empty history, not a problem
    try {
        db_ = std::make_unique<sqlite::Database>(
            path, access == Access::ReadOnly ? sqlite::Database::Mode::ReadOnly : sqlite::Database::Mode::ReadWriteCreate);
        db_->exec("PRAGMA busy_timeout=" + std::to_string(kBusyTimeoutMs));
        if (access == Access::Write) {
            db_->exec("PRAGMA journal_mode=WAL");
            db_->exec("PRAGMA synchronous=NORMAL");
            migrate();
        } else if (db_->userVersion() > static_cast<int>(historyMigrations().size())) {
            // A newer program's database: its tables may have changed.
            throw sqlite::SqliteError(0, "the history was written by a newer version of Tolvan");
        }
    } catch (const sqlite::SqliteError& e) {
        disable(e.what());
    }
}

void HistoryStore::migrate()
{
    const auto& steps = historyMigrations();
    const int version = db_->userVersion();
    if (version > static_cast<int>(steps.size()))
        throw sqlite::SqliteError(0, "the history was written by a newer version of Tolvan");
    if (version == static_cast<int>(steps.size()))
        return;
    sqlite::Transaction transaction(*db_);
    for (std::size_t i = static_cast<std::size_t>(version); i < steps.size(); ++i) {
        try {
            db_->exec(steps[i].sql);
        } catch (const sqlite::SqliteError& e) {
            throw sqlite::SqliteError(e.code(), std::string(e.what()) + " (adding " + std::string(steps[i].what) + ")");
        }
    }
    db_->exec("PRAGMA user_version=" + std::to_string(steps.size()));
    transaction.commit();
}

void HistoryStore::disable(const std::string& why)
{
    pending_.clear();
    insertSubmission_.reset();
    insertSubmissions_.reset();
    lastAccepted_.reset();
    db_.reset();
    if (problem_.empty()) {
        problem_ = why;
        noticeDue_ = true;
    }
}

std::string HistoryStore::notice()
{
    if (!noticeDue_)
        return {};
    noticeDue_ = false;
    return "History is not being kept (" + std::string(kHistoryFileName) + ": " + problem_ + ").";
}

void HistoryStore::recordSubmission(SubmissionRecord record)
{
    if (!db_)
        return;
    if (record.answer.size() > kAnswerHeadBytes)
        record.answer.resize(kAnswerHeadBytes);
    record.address = maskKey(record.address);
    pending_.push_back(std::move(record));
    if (pending_.size() >= kWriteRows || std::chrono::steady_clock::now() - lastWrite_ >= kWriteInterval)
        flush();
}

void HistoryStore::flushIfDue()
{
    if (!pending_.empty() && std::chrono::steady_clock::now() - lastWrite_ >= kWriteInterval)
        flush();
}

void HistoryStore::flush()
{
    if (pending_.empty())
        return;
    if (!db_) {
        pending_.clear();
        return;
    }
    try {
        // Rows go in by kRowsPerInsert with one statement, the rest one by one:
        // a statement's start and end cost more than a row's values.
        static constexpr const char* kInsert =
            "INSERT INTO submissions (time, site, engine, method, address, status_line, outcome, detail, answer) VALUES ";
        static constexpr const char* kRow = "(?, ?, ?, ?, ?, ?, ?, ?, ?)";
        if (!insertSubmission_)
            insertSubmission_ = std::make_unique<sqlite::Statement>(db_->prepare(std::string(kInsert) + kRow));
        if (!insertSubmissions_ && pending_.size() >= kRowsPerInsert) {
            std::string sql = kInsert;
            for (std::size_t i = 0; i < kRowsPerInsert; ++i)
                sql.append(i == 0 ? "" : ", ").append(kRow);
            insertSubmissions_ = std::make_unique<sqlite::Statement>(db_->prepare(sql));
        }
        sqlite::Transaction transaction(*db_);
        // The records stay in place until the rows are written: no copies.
        const auto bindRow = [](sqlite::Statement& insert, int first, const SubmissionRecord& record) {
            insert.bindUncopied(first, record.time).bindUncopied(first + 1, record.site);
            insert.bindUncopied(first + 2, record.engine).bindUncopied(first + 3, record.method);
            insert.bindUncopied(first + 4, record.address).bindUncopied(first + 5, record.statusLine);
            insert.bindUncopied(first + 6, record.outcome).bindUncopied(first + 7, record.detail);
            insert.bindBlobUncopied(first + 8, record.answer);
        };
        std::size_t next = 0;
        for (; pending_.size() - next >= kRowsPerInsert; next += kRowsPerInsert) {
            for (std::size_t i = 0; i < kRowsPerInsert; ++i)
                bindRow(*insertSubmissions_, static_cast<int>(9 * i + 1), pending_[next + i]);
            insertSubmissions_->runRebound();
        }
        for (; next < pending_.size(); ++next) {
            bindRow(*insertSubmission_, 1, pending_[next]);
            insertSubmission_->runRebound();
        }
        transaction.commit();
        pending_.clear();
    } catch (const sqlite::SqliteError& e) {
        pending_.clear();
        disable(e.what());
    }
    lastWrite_ = std::chrono::steady_clock::now();
}

std::vector<SubmissionRecord> HistoryStore::submissions(const SubmissionFilter& filter)
{
    std::vector<SubmissionRecord> rows;
    flush();
    if (!db_)
        return rows;
    try {
        auto query = db_->prepare(
            "SELECT time, site, engine, method, address, status_line, outcome, detail, answer FROM submissions"
            " WHERE (?1 = '' OR lower(site) = ?1) AND (?2 = '' OR lower(engine) = ?2) AND (?3 = '' OR time >= ?3)"
            " ORDER BY id");
        query.bind(1, asciiLower(filter.site)).bind(2, asciiLower(filter.engine)).bind(3, filter.since);
        while (query.step()) {
            SubmissionRecord row;
            row.time = query.text(0);
            row.site = query.text(1);
            row.engine = query.text(2);
            row.method = query.text(3);
            row.address = query.text(4);
            row.statusLine = query.text(5);
            row.outcome = query.text(6);
            row.detail = query.text(7);
            row.answer = query.text(8);
            rows.push_back(std::move(row));
        }
    } catch (const sqlite::SqliteError& e) {
        disable(e.what());
    }
    // By time, rows of the same time in the order they were written. Rows are
    // written as time goes on, so they are almost always in order already; a
    // clock set back leaves a few out of place.
    const auto byTime = [](const SubmissionRecord& a, const SubmissionRecord& b) { return a.time < b.time; };
    if (std::is_sorted(rows.begin(), rows.end(), byTime))
        return rows;
    // Sorting positions moves each record once instead of at every step.
    std::vector<std::size_t> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&rows](std::size_t a, std::size_t b) { return rows[a].time < rows[b].time; });
    // rows[k] takes the record at order[k], one cycle of the permutation at a time.
    std::vector<bool> placed(rows.size());
    for (std::size_t start = 0; start < rows.size(); ++start) {
        if (placed[start])
            continue;
        SubmissionRecord first = std::move(rows[start]);
        std::size_t at = start;
        for (;;) {
            placed[at] = true;
            const std::size_t from = order[at];
            if (from == start) {
                rows[at] = std::move(first);
                break;
            }
            rows[at] = std::move(rows[from]);
            at = from;
        }
    }
    return rows;
}

bool HistoryStore::recordNotifyBatch(const NotifyBatchRecord& batch, const std::vector<std::string>& acceptedUrls)
{
    flush();
    if (!db_)
        return false;
    try {
        sqlite::Transaction transaction(*db_);
        auto insert = db_->prepare(
            "INSERT INTO notify_batches (time, site, endpoint, url_count, status_line, outcome, detail, answer)"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        std::string answer = batch.answer.substr(0, kAnswerHeadBytes);
        insert.bind(1, batch.time).bind(2, batch.site).bind(3, batch.endpoint).bind(4, batch.urlCount);
        insert.bind(5, batch.statusLine).bind(6, batch.outcome).bind(7, batch.detail).bindBlob(8, answer);
        insert.run();
        const std::int64_t id = db_->lastInsertRowId();
        auto url = db_->prepare("INSERT OR REPLACE INTO notified_urls (site, url, accepted_at, batch_id) VALUES (?, ?, ?, ?)");
        for (const auto& address : acceptedUrls) {
            url.bind(1, batch.site).bind(2, address).bind(3, batch.time).bind(4, id);
            url.run();
        }
        transaction.commit();
        return true;
    } catch (const sqlite::SqliteError& e) {
        disable(e.what());
        return false;
    }
}

std::optional<std::string> HistoryStore::lastAccepted(const std::string& site, const std::string& url)
{
    if (!db_)
        return std::nullopt;
    try {
        if (!lastAccepted_)
            lastAccepted_ = std::make_unique<sqlite::Statement>(
                db_->prepare("SELECT accepted_at FROM notified_urls WHERE site = ? AND url = ?"));
        auto& query = *lastAccepted_;
        query.bind(1, site).bind(2, url);
        std::optional<std::string> when;
        if (query.step())
            when = query.text(0);
        query.reset();
        return when;
    } catch (const sqlite::SqliteError& e) {
        disable(e.what());
        return std::nullopt;
    }
}

std::vector<NotifyBatchRecord> HistoryStore::notifyBatches(const std::string& site)
{
    std::vector<NotifyBatchRecord> rows;
    if (!db_)
        return rows;
    try {
        auto query = db_->prepare(
            "SELECT time, site, endpoint, url_count, status_line, outcome, detail, answer FROM notify_batches"
            " WHERE ?1 = '' OR site = ?1 ORDER BY time, id");
        query.bind(1, site);
        while (query.step()) {
            NotifyBatchRecord row;
            row.time = query.text(0);
            row.site = query.text(1);
            row.endpoint = query.text(2);
            row.urlCount = query.integer(3);
            row.statusLine = query.text(4);
            row.outcome = query.text(5);
            row.detail = query.text(6);
            row.answer = query.text(7);
            rows.push_back(std::move(row));
        }
    } catch (const sqlite::SqliteError& e) {
        disable(e.what());
    }
    return rows;
}

void HistoryStore::rememberEndpointWait(const std::string& endpoint, const EndpointWait& wait)
{
    if (!db_)
        return;
    try {
        auto insert = db_->prepare("INSERT OR REPLACE INTO endpoint_waits (endpoint, until, status_line) VALUES (?, ?, ?)");
        insert.bind(1, asciiLower(endpoint)).bind(2, static_cast<std::int64_t>(wait.until)).bind(3, wait.statusLine);
        insert.run();
    } catch (const sqlite::SqliteError& e) {
        disable(e.what());
    }
}

std::optional<EndpointWait> HistoryStore::endpointWait(const std::string& endpoint, std::time_t now)
{
    if (!db_)
        return std::nullopt;
    try {
        auto query = db_->prepare("SELECT until, status_line FROM endpoint_waits WHERE endpoint = ? AND until > ?");
        query.bind(1, asciiLower(endpoint)).bind(2, static_cast<std::int64_t>(now));
        if (!query.step())
            return std::nullopt;
        return EndpointWait{static_cast<std::time_t>(query.integer(0)), query.text(1)};
    } catch (const sqlite::SqliteError& e) {
        disable(e.what());
        return std::nullopt;
    }
}

}  // namespace tolvan

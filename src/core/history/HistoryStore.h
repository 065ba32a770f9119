#pragma once
// history.db in the base directory: every submission request and every notify
// batch, kept for the user to look back on. The store never stops the work it
// records: when the database cannot be opened, is damaged, locked or read-only,
// the store turns itself off, and notice() hands out one message saying so.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolvan {

namespace sqlite {
class Database;
class Statement;
}  // namespace sqlite

inline constexpr const char* kHistoryFileName = "history.db";
inline constexpr std::size_t kAnswerHeadBytes = 512;

struct SubmissionRecord {
    std::string time;  // UTC, "YYYY-MM-DDTHH:MM:SSZ"
    std::string site;
    std::string engine;
    std::string method;
    std::string address;  // the request's address; recording masks "key=" values
    std::string statusLine;
    std::string outcome;  // "success", "failed", "timed-out", "skipped"
    std::string detail;
    std::string answer;  // cut to kAnswerHeadBytes when recorded
};

struct SubmissionFilter {
    std::string site;    // exact, without regard to case; empty: all
    std::string engine;  // likewise
    std::string since;   // "YYYY-MM-DD" or a full time; empty: all
};

struct NotifyBatchRecord {
    std::string time;
    std::string site;
    std::string endpoint;
    std::int64_t urlCount = 0;
    std::string statusLine;
    std::string outcome;  // "accepted", "pending", "failed"
    std::string detail;
    std::string answer;
};

// A wait an endpoint asked for with 429 and Retry-After.
struct EndpointWait {
    std::time_t until = 0;
    std::string statusLine;
};

// "YYYY-MM-DDTHH:MM:SSZ" of a moment.
std::string historyTime(std::time_t t);
// The address with the value of every "key" parameter, and `key` wherever
// else it appears (a key file's name), replaced by "****".
std::string maskKey(const std::string& address, const std::string& key = {});

class HistoryStore {
public:
    enum class Access { Write, ReadOnly };
    // Opens (and for Write creates and brings up to date) <baseDir>/history.db.
    explicit HistoryStore(const std::string& baseDir, Access access = Access::Write);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    bool available() const { return db_ != nullptr; }
    // Why the store is off (empty while it works).
    const std::string& problem() const { return problem_; }
    // The one message for the user after the store turned itself off; empty
    // before that and after it was taken once.
    std::string notice();

    // The open connection for features that keep their own tables here (null
    // when off); the rows kept back are written first.
    sqlite::Database* database();

    // Rows are kept back and written together, one transaction for many rows:
    // a row is written at once after a quiet spell, else with the rows that
    // follow it within kWriteInterval (at most kWriteRows at a time). flush()
    // writes what is kept back; so does every read and the destructor.
    static constexpr std::chrono::milliseconds kWriteInterval{500};
    static constexpr std::size_t kWriteRows = 1000;
    void recordSubmission(SubmissionRecord record);
    void flush();
    // Writes what is kept back once it has waited kWriteInterval (cheap to call
    // from every turn of a wait, so a stalled run still has its rows on disk).
    void flushIfDue();
    std::vector<SubmissionRecord> submissions(const SubmissionFilter& filter = {});

    // Records a batch; when it was accepted, also records its URLs as notified.
    // Returns false when it could not be recorded.
    bool recordNotifyBatch(const NotifyBatchRecord& batch, const std::vector<std::string>& acceptedUrls);
    // When each URL of the site was last accepted ("" for never).
    std::optional<std::string> lastAccepted(const std::string& site, const std::string& url);
    std::vector<NotifyBatchRecord> notifyBatches(const std::string& site);

    // Remembers that `endpoint` (a host, see endpointWaitKey) asked to be left
    // alone until `until`; a later answer replaces an earlier one.
    void rememberEndpointWait(const std::string& endpoint, const EndpointWait& wait);
    // The wait of `endpoint` that still runs at `now`, if any.
    std::optional<EndpointWait> endpointWait(const std::string& endpoint, std::time_t now);

    // Turns the store off after a failure (used by the store itself and by
    // features that write their own tables).
    void disable(const std::string& why);

private:
    void open(const std::string& path, Access access);
    void migrate();

    std::unique_ptr<sqlite::Database> db_;
    static constexpr std::size_t kRowsPerInsert = 16;
    std::unique_ptr<sqlite::Statement> insertSubmission_;   // one row
    std::unique_ptr<sqlite::Statement> insertSubmissions_;  // kRowsPerInsert rows
    std::unique_ptr<sqlite::Statement> lastAccepted_;
    std::vector<SubmissionRecord> pending_;
    std::chrono::steady_clock::time_point lastWrite_{};
    std::string problem_;
    bool noticeDue_ = false;
};

}  // namespace tolvan

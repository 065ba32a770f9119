#include "history/HistoryMigrations.h"

namespace tolvan {

const std::vector<HistoryMigration>& historyMigrations()
{
    static const std::vector<HistoryMigration> steps = {
        {"submission requests",
         "CREATE TABLE submissions ("
         " id INTEGER PRIMARY KEY,"
         " time TEXT NOT NULL,"  // UTC, "YYYY-MM-DDTHH:MM:SSZ"
         " site TEXT NOT NULL, engine TEXT NOT NULL, method TEXT NOT NULL,"
         " address TEXT NOT NULL,"  // the key masked
         " status_line TEXT NOT NULL, outcome TEXT NOT NULL, detail TEXT NOT NULL,"
         " answer BLOB NOT NULL);"  // the answer's first 512 bytes
         "CREATE INDEX submissions_by_time ON submissions(time);"},
        {"notify batches",
         "CREATE TABLE notify_batches ("
         " id INTEGER PRIMARY KEY,"
         " time TEXT NOT NULL, site TEXT NOT NULL, endpoint TEXT NOT NULL,"
         " url_count INTEGER NOT NULL,"
         " status_line TEXT NOT NULL, outcome TEXT NOT NULL, detail TEXT NOT NULL,"
         " answer BLOB NOT NULL);"
         "CREATE INDEX notify_batches_by_site ON notify_batches(site, time);"
         // Every URL of an accepted batch, with when it was last accepted.
         "CREATE TABLE notified_urls ("
         " site TEXT NOT NULL, url TEXT NOT NULL, accepted_at TEXT NOT NULL,"
         " batch_id INTEGER NOT NULL,"
         " PRIMARY KEY (site, url)) WITHOUT ROWID;"},
        {"endpoint waits",
         // An endpoint that answered 429 with Retry-After is left alone until
         // `until` (seconds since 1970, UTC), by later runs too.
         "CREATE TABLE endpoint_waits ("
         " endpoint TEXT PRIMARY KEY,"  // the host, with its port when it has one
         " until INTEGER NOT NULL,"
         " status_line TEXT NOT NULL) WITHOUT ROWID;"},
        {"rank checks",
         // Site and phrase compare without regard to case, so the index serves the look-ups.
         "CREATE TABLE rank_checks ("
         " id INTEGER PRIMARY KEY,"
         " time TEXT NOT NULL,"  // UTC, "YYYY-MM-DDTHH:MM:SSZ"
         " site TEXT NOT NULL COLLATE NOCASE, phrase TEXT NOT NULL COLLATE NOCASE, engine TEXT NOT NULL,"
         " outcome TEXT NOT NULL,"  // found, not-found, blocked, unrecognised, not-allowed, failed
         " place INTEGER,"          // NULL unless found
         " address TEXT NOT NULL, depth INTEGER NOT NULL, detail TEXT NOT NULL);"
         "CREATE INDEX rank_checks_by_selection ON rank_checks(site, phrase, time);"
         // The first ten results of each check, by their place.
         "CREATE TABLE rank_competitors ("
         " check_id INTEGER NOT NULL, place INTEGER NOT NULL, address TEXT NOT NULL,"
         " PRIMARY KEY (check_id, place)) WITHOUT ROWID;"},
        {"submissions without a time index",
         // Keeping an index on time up to date cost more than the rest of a row's
         // insert; the rows are read in the order they were written and put in
         // time order there, which for rows written as time goes on costs nothing.
         "DROP INDEX IF EXISTS submissions_by_time;"},
    };
    return steps;
}

}  // namespace tolvan

#include "ranking/RankHistory.h"

#include <algorithm>
#include <ctime>
#include <set>

#include "history/HistoryStore.h"
#include "history/Sqlite.h"
#include "util/TextCodec.h"

namespace tolvan {

RankOutcome rankOutcomeFromName(std::string_view name)
{
    for (RankOutcome o : {RankOutcome::Found, RankOutcome::NotFound, RankOutcome::Blocked, RankOutcome::Unrecognised,
                          RankOutcome::NotAllowed})
        if (name == rankOutcomeName(o))
            return o;
    return RankOutcome::Failed;
}

std::int64_t historySeconds(std::string_view time)
{
    // "YYYY-MM-DDTHH:MM:SSZ", read by hand: a long history is read row by row.
    auto number = [&](std::size_t at, std::size_t digits) {
        int value = 0;
        for (std::size_t i = at; i < at + digits && i < time.size(); ++i) {
            if (time[i] < '0' || time[i] > '9')
                return -1;
            value = value * 10 + (time[i] - '0');
        }
        return value;
    };
    if (time.size() < 19)
        return 0;
    std::tm tm{};
    tm.tm_year = number(0, 4) - 1900;
    tm.tm_mon = number(5, 2) - 1;
    tm.tm_mday = number(8, 2);
    tm.tm_hour = number(11, 2);
    tm.tm_min = number(14, 2);
    tm.tm_sec = number(17, 2);
    if (tm.tm_year < 0 || tm.tm_mon < 0 || tm.tm_mday < 0 || tm.tm_hour < 0 || tm.tm_min < 0 || tm.tm_sec < 0)
        return 0;
    return static_cast<std::int64_t>(timegm(&tm));
}

RankSummary summarizeRank(const std::vector<RankPoint>& points)
{
    RankSummary s;
    for (const RankPoint& p : points)
        if (p.place > 0 && (s.best == 0 || p.place < s.best))
            s.best = p.place;
    if (!points.empty())
        s.latest = points.back().place;
    if (points.size() >= 2) {
        s.previous = points[points.size() - 2].place;
        s.hasPrevious = true;
    }
    return s;
}

std::vector<RankPoint> thinRankSeries(const std::vector<RankPoint>& points, std::size_t most)
{
    if (most == 0 || points.size() <= most)
        return points;
    std::vector<RankPoint> thin;
    thin.reserve(most);
    for (std::size_t bucket = 0; bucket < most; ++bucket) {
        const std::size_t begin = points.size() * bucket / most;
        const std::size_t end = points.size() * (bucket + 1) / most;
        const RankPoint* best = &points[begin];
        for (std::size_t i = begin; i < end; ++i)
            if (points[i].place > 0 && (best->place == 0 || points[i].place < best->place))
                best = &points[i];
        thin.push_back(*best);
    }
    return thin;
}

std::string rankHistorySite(std::string_view site)
{
    const std::size_t scheme = site.find("://");
    const std::size_t hostAt = scheme == std::string_view::npos ? 0 : scheme + 3;
    const std::size_t hostEnd = std::min(site.find_first_of("/?#", hostAt), site.size());
    std::string out = asciiLower(site.substr(0, hostEnd));
    const std::string_view rest = site.substr(hostEnd);
    if (scheme == std::string_view::npos)
        return rest == "/" ? out : out.append(rest);
    if (rest.empty() || rest.front() != '/')
        out += '/';
    return out.append(rest);
}

namespace {

// The other way the same site may stand in rows written before sites were
// kept in one form: "http://x.example" for "http://x.example/", "x.example/"
// for "x.example". Case needs no second form: the column compares without it.
std::string olderSiteForm(const std::string& normal)
{
    const std::size_t scheme = normal.find("://");
    if (scheme == std::string::npos)
        return normal.find_first_of("/?#") == std::string::npos ? normal + "/" : normal;
    const std::size_t path = normal.find('/', scheme + 3);
    return path == normal.size() - 1 ? normal.substr(0, path) : normal;
}

}  // namespace

RankHistory::RankHistory(HistoryStore& store) : store_(store) {}

bool RankHistory::record(const std::vector<RankCheckResult>& results)
{
    sqlite::Database* db = store_.database();
    if (!db)
        return false;
    try {
        sqlite::Transaction transaction(*db);
        auto insert = db->prepare(
            "INSERT INTO rank_checks (time, site, phrase, engine, outcome, place, address, depth, detail)"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        auto competitor = db->prepare("INSERT INTO rank_competitors (check_id, place, address) VALUES (?, ?, ?)");
        for (const RankCheckResult& r : results) {
            insert.bind(1, r.time).bind(2, rankHistorySite(r.site)).bind(3, r.phrase).bind(4, r.engine);
            insert.bind(5, std::string(rankOutcomeName(r.outcome)));
            if (r.outcome == RankOutcome::Found)
                insert.bind(6, static_cast<std::int64_t>(r.place));
            else
                insert.bindNull(6);
            insert.bind(7, r.address).bind(8, static_cast<std::int64_t>(r.depth)).bind(9, r.detail);
            insert.run();
            const std::int64_t id = db->lastInsertRowId();
            for (std::size_t i = 0; i < r.competitors.size() && i < 10; ++i) {
                competitor.bind(1, id).bind(2, static_cast<std::int64_t>(i + 1)).bind(3, r.competitors[i]);
                competitor.run();
            }
        }
        transaction.commit();
        return true;
    } catch (const sqlite::SqliteError& e) {
        store_.disable(e.what());
        return false;
    }
}

std::vector<RankCheckResult> RankHistory::checks(const RankHistoryFilter& filter)
{
    std::vector<RankCheckResult> rows;
    sqlite::Database* db = store_.database();
    if (!db)
        return rows;
    try {
        auto query = db->prepare(
            "SELECT id, time, site, phrase, engine, outcome, place, address, depth, detail FROM rank_checks"
            " WHERE (?1 = '' OR site IN (?1, ?4)) AND (?2 = '' OR phrase = ?2) AND (?3 = '' OR time >= ?3)"
            " ORDER BY time, id");
        const std::string site = filter.site.empty() ? std::string() : rankHistorySite(filter.site);
        query.bind(1, site).bind(2, filter.phrase).bind(3, filter.since).bind(4, olderSiteForm(site));
        auto competitors = db->prepare("SELECT address FROM rank_competitors WHERE check_id = ? ORDER BY place");
        while (query.step()) {
            RankCheckResult r;
            r.time = query.text(1);
            r.site = query.text(2);
            r.phrase = query.text(3);
            r.engine = query.text(4);
            r.outcome = rankOutcomeFromName(query.text(5));
            r.place = query.isNull(6) ? 0 : static_cast<int>(query.integer(6));
            r.address = query.text(7);
            r.depth = static_cast<long>(query.integer(8));
            r.detail = query.text(9);
            competitors.bind(1, query.integer(0));
            while (competitors.step())
                r.competitors.push_back(competitors.text(0));
            competitors.reset();
            rows.push_back(std::move(r));
        }
    } catch (const sqlite::SqliteError& e) {
        store_.disable(e.what());
    }
    return rows;
}

std::map<std::string, std::vector<RankPoint>, std::less<>> RankHistory::series(const std::string& site,
                                                                             const std::string& phrase)
{
    std::map<std::string, std::vector<RankPoint>, std::less<>> out;
    sqlite::Database* db = store_.database();
    if (!db)
        return out;
    try {
        // A long history is read row by row: no copies of the texts.
        auto query = db->prepare(
            "SELECT engine, time, outcome, place FROM rank_checks WHERE site IN (?1, ?3) AND phrase = ?2"
            " ORDER BY time, id");
        const std::string normal = rankHistorySite(site);
        query.bind(1, normal).bind(2, phrase).bind(3, olderSiteForm(normal));
        while (query.step()) {
            RankPoint p;
            p.seconds = historySeconds(query.view(1));
            p.outcome = rankOutcomeFromName(query.view(2));
            p.place = query.isNull(3) ? 0 : static_cast<int>(query.integer(3));
            const std::string_view engine = query.view(0);
            auto at = out.find(engine);
            if (at == out.end())
                at = out.emplace(std::string(engine), std::vector<RankPoint>()).first;
            at->second.push_back(p);
        }
    } catch (const sqlite::SqliteError& e) {
        store_.disable(e.what());
    }
    return out;
}

RankCompetitors RankHistory::latestCompetitors(const std::string& site, const std::string& phrase)
{
    RankCompetitors out;
    sqlite::Database* db = store_.database();
    if (!db)
        return out;
    try {
        auto latest = db->prepare(
            "SELECT c.id, c.engine, c.time FROM rank_checks c WHERE c.site IN (?1, ?3) AND c.phrase = ?2"
            " AND EXISTS (SELECT 1 FROM rank_competitors k WHERE k.check_id = c.id)"
            " ORDER BY c.time DESC, c.id DESC LIMIT 1");
        const std::string normal = rankHistorySite(site);
        latest.bind(1, normal).bind(2, phrase).bind(3, olderSiteForm(normal));
        if (!latest.step())
            return out;
        out.engine = latest.text(1);
        out.time = latest.text(2);
        auto query = db->prepare("SELECT address FROM rank_competitors WHERE check_id = ? ORDER BY place");
        query.bind(1, latest.integer(0));
        while (query.step())
            out.addresses.push_back(query.text(0));
    } catch (const sqlite::SqliteError& e) {
        store_.disable(e.what());
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> RankHistory::selections()
{
    std::vector<std::pair<std::string, std::string>> out;
    sqlite::Database* db = store_.database();
    if (!db)
        return out;
    try {
        // Older rows may hold a site in another form: each is named once, as kept now.
        auto query = db->prepare("SELECT DISTINCT site, phrase FROM rank_checks");
        std::set<std::pair<std::string, std::string>> seen;
        while (query.step()) {
            std::string site = rankHistorySite(query.view(0));
            std::string phrase = query.text(1);
            if (seen.emplace(asciiLower(site), asciiLower(phrase)).second)
                out.emplace_back(std::move(site), std::move(phrase));
        }
        std::sort(out.begin(), out.end());
    } catch (const sqlite::SqliteError& e) {
        store_.disable(e.what());
    }
    return out;
}

}  // namespace tolvan

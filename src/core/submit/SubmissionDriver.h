#pragma once
// The loop of one press of Submit!: every site of the list to every engine of
// the list, one request after the other, with pause, skip, cancel and the
// per-request time-out. Runs on the caller's thread; the view's pump lets the
// front end's handlers (skip(), cancel(), pause()) run inside the waits.
#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engines/EngineDefinition.h"
#include "net/EventPump.h"
#include "net/RemoteHosts.h"
#include "profiles/SiteProfile.h"
#include "submit/ErrorLog.h"
#include "submit/SubmissionRun.h"
#include "submit/SubmissionView.h"

namespace tolvan {

class SubmissionTransport;
class HistoryStore;
struct EngineDefinition;
struct RequestResult;

struct RunRequest {
    std::vector<std::string> sites;    // full addresses, in list order
    std::vector<std::string> engines;  // engine names, in list order
    std::string timeoutSeconds;        // the "Time Out" text; "0" or empty: no time-out
    bool autoHtml = false;
    bool autoText = false;
    bool autoMail = false;
    bool keepHistory = true;  // record every request in history.db (not for a dry run)
};

enum class RunEnd { NotStarted, Completed, Cancelled, Aborted };

class SubmissionDriver {
public:
    SubmissionDriver(std::string baseDir, SubmissionView& view, SubmissionTransport& transport);
    ~SubmissionDriver();

    // Runs the whole submission; returns when it is over. `site` is the working
    // profile (the Site Data page): profiles are loaded into it and defaults
    // written back. An error that is not a request's (a file that cannot be
    // written, a bad extra-field count) restores the idle controls and is rethrown.
    RunEnd run(const RunRequest& request, SiteProfile& site);

    // Handlers the front end calls while run() waits.
    void skip();
    void cancel();
    void pause();   // before the front end shows its pause dialog
    void resume();  // when the user resumes

    bool running() const { return running_; }
    const SubmissionRun& state() const { return run_; }
    SubmissionRun& state() { return run_; }

private:
    class RunPump : public EventPump {
    public:
        explicit RunPump(SubmissionDriver& driver) : driver_(driver) {}
        void processEvents() override;
        // Waiting for an answer, the next engine's file is read meanwhile.
        short waitForSocket(int fd, short events, int timeoutMs) override;

    private:
        SubmissionDriver& driver_;
    };

    enum class Step { Next, Cancelled, Aborted };
    Step submitSite(const std::string& siteAddress, const RunRequest& request, SiteProfile& site);
    Step submitEngine(const std::string& siteAddress, const std::string& engine, SiteProfile& site);
    Step sendAndRecord(const std::string& siteAddress, const EngineDefinition& definition);
    void siteEnd(const RunRequest& request);
    void flushHistory();
    void runEnd();
    void finishCancelled();
    void restoreIdle();
    void abortRun();
    void showAllEngines();
    void showStatus(const std::string& text, Blink blink);

    void recordSuccess(const std::string& site, bool removeRemaining, const std::string& detail = {});
    Step failBeforeSending(const std::string& site, const EngineDefinition& definition, const std::string& message);
    void keepHistory(const std::string& site, const EngineDefinition& definition, const char* outcome,
                     const std::string& detail, const RequestResult* result);
    void recordFailure(const std::string& site, const std::string& entry, EngineOutcome outcome,
                       const std::string& detail, bool removeRemaining);
    void advanceGauges();
    void removeFirstRemaining();

    std::string baseDir_;
    SubmissionView& view_;
    SubmissionTransport& transport_;
    RunPump pump_{*this};
    EngineDefinitionReader definitions_;
    RemoteHosts hosts_;
    ErrorLog errorLog_;  // kept open across records
    SubmissionRun run_;
    std::vector<std::string> engines_;    // the run's engines, sorted
    std::size_t remaining_ = 0;           // how many of them the current site has still to do
    const std::string* nextEngine_ = nullptr;  // the site's engine after the current one, until read ahead
    int gaugeMax_ = 0;
    int completed_ = 0;
    bool running_ = false;
    std::string status_;  // the status text shown last
    std::chrono::milliseconds timeout_{0};
    bool timerArmed_ = false;
    std::chrono::steady_clock::time_point deadline_;
    std::unique_ptr<HistoryStore> history_;
    // The history's time of the last row written, kept while the second lasts.
    std::time_t historySecond_ = -1;
    std::string historyTimeText_;
    // IndexNow: whether the current engine is one, the key location it uses, and
    // the endpoints that answered 429 (not asked again this run) with the reason.
    bool indexNow_ = false;
    std::string key_;
    std::string keyLocation_;
    std::map<std::string, std::string> restingEngines_;
};

}  // namespace tolvan

#include "submit/SubmissionDriver.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "engines/EngineDefinition.h"
#include "engines/EngineSelection.h"
#include "history/HistoryStore.h"
#include "indexnow/IndexNowAnswers.h"
#include "indexnow/IndexNowKey.h"
#include "indexnow/Notifier.h"
#include "net/RemoteHosts.h"
#include "profiles/ProfileStore.h"
#include "submit/BuiltInEngines.h"
#include "submit/ErrorLog.h"
#include "submit/SubmissionTransport.h"
#include "util/Clock.h"
#include "util/Errors.h"
#include "util/ServerText.h"

namespace tolvan {

namespace {

const std::string kPlaceholder(50, '.');

bool isRedirectAnswer(const std::string& message)
{
    return message == "151: 302 Found" || message == "151: 302 Moved Temporarily"
        || message == "151: 302 Document Found";
}

std::chrono::milliseconds timeoutFrom(const std::string& seconds)
{
    if (seconds.empty())
        return std::chrono::milliseconds(0);
    if (!std::all_of(seconds.begin(), seconds.end(), [](unsigned char c) { return std::isdigit(c); })
        || seconds.size() > 6)
        throw ConvertError(seconds + "000");
    return std::chrono::milliseconds(std::stol(seconds) * 1000);
}

}  // namespace

void SubmissionDriver::RunPump::processEvents()
{
    driver_.view_.pump();
    // Rows kept back reach the disk while a request waits, not only with the next row.
    if (driver_.history_)
        driver_.history_->flushIfDue();
    if (driver_.timerArmed_ && std::chrono::steady_clock::now() >= driver_.deadline_) {
        // The time-out: the request is abandoned and recorded as timed out.
        driver_.timerArmed_ = false;
        driver_.run_.timedOut = true;
        driver_.transport_.interrupt();
    }
}

short SubmissionDriver::RunPump::waitForSocket(int fd, short events, int timeoutMs)
{
    if ((events & POLLIN) && driver_.nextEngine_)
        driver_.definitions_.readAhead(*std::exchange(driver_.nextEngine_, nullptr));
    return EventPump::waitForSocket(fd, events, timeoutMs);
}

SubmissionDriver::SubmissionDriver(std::string baseDir, SubmissionView& view, SubmissionTransport& transport)
    : baseDir_(std::move(baseDir)), view_(view), transport_(transport), definitions_(baseDir_), hosts_(baseDir_),
      errorLog_(baseDir_)
{
}

SubmissionDriver::~SubmissionDriver() = default;

RunEnd SubmissionDriver::run(const RunRequest& request, SiteProfile& site)
{
    const auto timeout = timeoutFrom(request.timeoutSeconds);
    if (request.sites.empty()) {
        view_.showMessage("You don't have any websites listed in the Sites To Submit Box.  "
                          "Select a saved site to submit and try again.");
        return RunEnd::NotStarted;
    }
    if (run_.autoBatchOpen) {
        view_.closeAutoBatchWindow();
        run_.autoBatchOpen = false;
    }
    view_.showMessage("Make sure you have an internet connection established and then hit OK");

    timeout_ = timeout;
    run_.cancelRequested = false;
    run_.skipRequested = false;
    run_.startTime = longTime(Clock::current().now());
    restingEngines_.clear();
    history_.reset();
    if (request.keepHistory) {
        history_ = std::make_unique<HistoryStore>(baseDir_);
        if (const std::string notice = history_->notice(); !notice.empty())
            view_.showNotice(notice);
    }
    running_ = true;
    view_.setRunning(true);
    showStatus("", Blink::Stop);
    view_.setBeingSubmitted("");
    view_.setCurrentEngine("");
    run_.successList.clear();
    run_.failedList.clear();
    view_.setResults(run_);
    engines_ = request.engines;
    sortListEntries(engines_);
    remaining_ = engines_.size();

    // However the run ends (completed, cancelled by the user, a signal or the
    // window closing, aborted or thrown out of), the rows kept back are written
    // and the last connection is closed. The ends below write the rows before
    // their messages; this covers a throw.
    struct AtRunEnd {
        SubmissionDriver& driver;
        ~AtRunEnd()
        {
            driver.transport_.runEnded();
            try {
                driver.flushHistory();
            } catch (...) {
                // The error that ended the run is the one to report.
            }
        }
    } atRunEnd{*this};
    try {
        // The lists are fixed for the whole run: the controls that edit them are disabled.
        std::vector<std::string> sites = request.sites;
        sortListEntries(sites);
        RunRequest fixed = request;
        fixed.engines = engines_;
        for (const auto& address : sites) {
            const Step step = submitSite(address, fixed, site);
            if (step == Step::Cancelled) {
                showAllEngines();
                finishCancelled();
                return RunEnd::Cancelled;
            }
            if (step == Step::Aborted) {
                abortRun();
                return RunEnd::Aborted;
            }
        }
        runEnd();
        return run_.cancelRequested ? RunEnd::Cancelled : RunEnd::Completed;
    } catch (...) {
        abortRun();
        throw;
    }
}

SubmissionDriver::Step SubmissionDriver::submitSite(const std::string& address, const RunRequest& request,
                                                    SiteProfile& site)
{
    run_.successList.clear();
    run_.failedList.clear();
    view_.setResults(run_);
    gaugeMax_ = static_cast<int>(remaining_);
    completed_ = 0;
    view_.setGauges(gaugeMax_, 0, gaugeMax_);
    run_.skipRequested = false;
    view_.setBeingSubmitted(address);
    definitions_.startSite();
    // data/hosts.tlx is read once for the site's engines, not looked at again for each.
    hosts_ = RemoteHosts(baseDir_, RemoteHosts::Rereading::Never);

    ProfileStore profiles(baseDir_);
    if (profiles.reverseIndexExists())
        run_.profileName = profiles.profileForAddress(address);
    bool loaded = false;
    if (!run_.profileName.empty()) {
        SiteProfile profile = profiles.loadProfile(run_.profileName);
        // A reverse entry left over from an older save may name a profile that
        // now stands for another address: that profile is not this site's.
        if (ProfileStore::isProfileOf(profile, address)) {
            site = std::move(profile);
            view_.siteProfileChanged(site);
            loaded = true;
        } else {
            run_.profileName.clear();
        }
    }
    if (!loaded)
        view_.siteWithoutProfile(address, site);

    // The description is formed before the first engine's definition is read;
    // the site's fields do not change between its engines (only empty ones
    // take their defaults, and the description has none).
    if (!request.engines.empty())
        run_.descriptionText = site.descriptionText();
    for (std::size_t i = 0; i < request.engines.size(); ++i) {
        nextEngine_ = i + 1 < request.engines.size() ? &request.engines[i + 1] : nullptr;
        const Step step = submitEngine(address, request.engines[i], site);
        nextEngine_ = nullptr;
        if (step != Step::Next)
            return step;
    }

    // Site end.
    view_.playSound(RunSound::Site);
    completed_ = 0;
    view_.setGauges(gaugeMax_, 0, 0);
    showAllEngines();
    view_.setLamp(Lamp::Off);
    if (run_.cancelRequested)
        return Step::Cancelled;
    siteEnd(request);
    return Step::Next;
}

void SubmissionDriver::siteEnd(const RunRequest& request)
{
    const std::pair<bool, AutoReportKind> reports[] = {
        {request.autoHtml, AutoReportKind::Html},
        {request.autoText, AutoReportKind::Text},
        {request.autoMail, AutoReportKind::Mail},
    };
    for (const auto& [wanted, kind] : reports) {
        if (!wanted)
            continue;
        run_.completedTime = longTime(Clock::current().now());
        run_.autoReport = true;
        view_.writeAutoReport(kind);
    }
    // Queued at once, written into the profiles file once at the run's end.
    if (!run_.profileName.empty())
        ProfileStore(baseDir_).queueLastRun(run_.profileName,
                                            "Last Submission: " + shortDate(Clock::current().now()));
}

SubmissionDriver::Step SubmissionDriver::submitEngine(const std::string& address, const std::string& engine,
                                                      SiteProfile& site)
{
    run_.skipRequested = false;
    run_.currentEngine = engine;
    view_.setCurrentEngine(engine);
    DefinitionResult& built = definitions_.read(engine, site, run_.categoryNumber);
    view_.siteProfileChanged(site);
    if (built.status == DefinitionStatus::Missing) {
        view_.showMessage("Data file for " + engine + " missing.");
        return Step::Aborted;
    }
    if (built.status == DefinitionStatus::NoSiteUrl)
        return Step::Aborted;

    EngineDefinition& definition = built.definition;
    static const std::string kNoDescription = "No Description Entered";
    const std::string& description = run_.descriptionText.empty() ? kNoDescription : run_.descriptionText;
    indexNow_ = isIndexNowEngine(hosts_, engine);
    key_ = site.indexNowKey;
    keyLocation_ = effectiveKeyLocation(site);
    const PlaceholderValues values{site, description, definition.categoryValue, key_, keyLocation_};
    if (auto action = builtInAction(engine, values, hosts_)) {
        definition.action = *action;
    } else {
        if (definition.action.find('{') != std::string::npos)
            definition.action = expandActionPlaceholders(definition.action, values);
        // An IndexNow engine's ACTION may be a path: its host comes from data/hosts.tlx.
        if (indexNow_ && !definition.action.empty() && definition.action.front() == '/')
            definition.action = indexNowEndpointOrigin(hosts_, engine) + definition.action;
    }

    if (run_.cancelRequested)
        return Step::Cancelled;
    if (indexNow_) {
        // Nothing is sent without a key, nor to an endpoint that asked to be left alone.
        if (key_.empty())
            return failBeforeSending(address, definition, noKeyMessage(site.fullAddress()));
        if (const auto resting = restingEngines_.find(engine); resting != restingEngines_.end())
            return failBeforeSending(address, definition, resting->second);
        // A wait asked for in an earlier run still holds.
        const std::time_t now = Clock::current().now();
        if (const auto wait = history_ ? history_->endpointWait(endpointWaitKey(definition.action), now) : std::nullopt)
            return failBeforeSending(address, definition,
                                     "Not sent: " + endpointWaitSentence(engine, wait->until, now) + ".");
    }
    const Step step = sendAndRecord(address, definition);
    if (step != Step::Next)
        return step;
    return run_.cancelRequested ? Step::Cancelled : Step::Next;
}

SubmissionDriver::Step SubmissionDriver::sendAndRecord(const std::string& address,
                                                       const EngineDefinition& definition)
{
    const std::string& engine = definition.engineName;
    const ErrorLog& log = errorLog_;
    view_.setLamp(Lamp::Green);

    if (definition.method != "POST" && definition.method != "GET") {
        // Nothing can be sent without a known method: that is a failure, not a success.
        return failBeforeSending(address, definition,
                                 "Unknown request method \"" + definition.method + "\": nothing was sent.");
    }

    view_.setCurrentEngine(engine);
    showStatus("Attempting to Post Site", Blink::Start);
    view_.pump();
    if (run_.cancelRequested)  // cancelled in that pump: nothing more is sent
        return Step::Cancelled;
    run_.timedOut = false;
    if (timeout_.count() > 0) {
        deadline_ = std::chrono::steady_clock::now() + timeout_;
        timerArmed_ = true;
    }
    static const std::string kNoBody;
    RequestResult result = transport_.send(definition.method, definition.action,
                                           definition.method == "POST" ? definition.formBody : kNoBody, pump_);
    // The message carries the server's status line into error.log, the lists and the terminal.
    result.message = cleanServerText(result.message);
    timerArmed_ = false;
    view_.pump();

    // The time-out ends a request that had its status line already (a body
    // that stalls) with the client's interruption: that is a time-out too.
    const bool stalledAnswer = result.error && run_.timedOut && result.message.rfind("301: ", 0) == 0;
    if (!result.error || stalledAnswer) {
        if (run_.timedOut)
            run_.skipRequested = true;
        if (!run_.skipRequested) {
            const std::string note = indexNow_ && statusCode(result.statusLine) == 202 ? kPendingNote : "";
            keepHistory(address, definition, "success", note, &result);
            recordSuccess(address, true, note);
            return Step::Next;
        }
        const bool timedOut = run_.timedOut;
        keepHistory(address, definition, timedOut ? "timed-out" : "skipped", "", &result);
        if (timedOut)
            log.appendTimedOut(engine);
        else
            log.appendSkipped(engine);
        view_.pump();
        showStatus(timedOut ? "Site Timed Out" : "Site Skipped", Blink::Start);
        if (run_.cancelRequested)
            return Step::Cancelled;
        recordFailure(address, (timedOut ? "Timed Out: " : "Skipped: ") + engine,
                      timedOut ? EngineOutcome::TimedOut : EngineOutcome::Skipped, "", true);
        return Step::Next;
    }

    removeFirstRemaining();
    if (run_.skipRequested) {
        keepHistory(address, definition, "skipped", result.message, &result);
        log.appendSkipped(engine);
        view_.pump();
        showStatus("Site Skipped", Blink::Start);
        if (run_.cancelRequested)
            return Step::Cancelled;
        recordFailure(address, "Skipped: " + engine, EngineOutcome::Skipped, result.message, false);
        return Step::Next;
    }
    if (isRedirectAnswer(result.message)) {
        keepHistory(address, definition, "success", "", &result);
        recordSuccess(address, false);
        return Step::Next;
    }
    // Every other error is a failure, a connection attempt that timed out included.
    std::string message = result.message;
    if (indexNow_) {
        // An endpoint's refusal says what it means and what to do.
        const int status = statusCode(result.statusLine);
        if (status >= 400) {
            const long wait = retryAfterSeconds(result.retryAfter, static_cast<long>(Clock::current().now()));
            message += ". " + indexNowFailureSentence(status, keyLocation_, wait);
            if (status == 429) {
                restingEngines_[engine] = "Not sent: " + engine + " answered 429 Too Many Requests earlier in this run"
                    + (wait >= 0 ? "; retry after " + std::to_string(wait) + " seconds." : std::string("."));
                if (wait > 0 && history_)
                    history_->rememberEndpointWait(
                        endpointWaitKey(definition.action),
                        {Clock::current().now() + std::min(wait, kLongestKeptWait), result.statusLine});
            }
        }
    }
    keepHistory(address, definition, "failed", message, &result);
    log.appendFailure(message, engine, definition.siteUrl, definition.method, definition.action);
    view_.pump();
    showStatus("Site Failed", Blink::Start);
    recordFailure(address, engine, EngineOutcome::Failed, message, false);
    return Step::Next;
}

SubmissionDriver::Step SubmissionDriver::failBeforeSending(const std::string& address,
                                                           const EngineDefinition& definition,
                                                           const std::string& message)
{
    keepHistory(address, definition, "failed", message, nullptr);
    ErrorLog(baseDir_).appendFailure(message, definition.engineName, definition.siteUrl, definition.method,
                                     definition.action);
    showStatus("Site Failed", Blink::Start);
    recordFailure(address, definition.engineName, EngineOutcome::Failed, message, true);
    return Step::Next;
}

void SubmissionDriver::keepHistory(const std::string& address, const EngineDefinition& definition,
                                   const char* outcome, const std::string& detail, const RequestResult* result)
{
    if (!history_)
        return;
    SubmissionRecord record;
    if (const std::time_t now = Clock::current().now(); now != historySecond_) {
        historySecond_ = now;
        historyTimeText_ = historyTime(now);
    }
    record.time = historyTimeText_;
    record.site = address;
    record.engine = definition.engineName;
    record.method = definition.method;
    record.address = maskKey(definition.action, key_);
    record.outcome = outcome;
    record.detail = detail;
    if (result) {
        record.statusLine = result->statusLine;
        record.answer.assign(result->answer, 0, kAnswerHeadBytes);  // all the store keeps of it
    }
    history_->recordSubmission(std::move(record));
    if (const std::string notice = history_->notice(); !notice.empty())
        view_.showNotice(notice);
}

void SubmissionDriver::recordSuccess(const std::string& site, bool removeRemaining, const std::string& detail)
{
    showStatus("Posted Site", Blink::Stop);
    const std::size_t at = insertSorted(run_.successList, run_.currentEngine);
    view_.resultAdded(run_, true, at);
    advanceGauges();
    if (removeRemaining)
        removeFirstRemaining();
    view_.setCurrentEngine(run_.currentEngine);
    view_.engineFinished(site, run_.currentEngine, EngineOutcome::Success, detail);
    view_.pump();
    view_.playSound(RunSound::Submission);
}

void SubmissionDriver::recordFailure(const std::string& site, const std::string& entry, EngineOutcome outcome,
                                     const std::string& detail, bool removeRemaining)
{
    view_.setLamp(Lamp::Red);
    const std::size_t at = insertSorted(run_.failedList, entry);
    view_.resultAdded(run_, false, at);
    advanceGauges();
    if (removeRemaining)
        removeFirstRemaining();
    view_.setCurrentEngine(run_.currentEngine);
    view_.engineFinished(site, run_.currentEngine, outcome, detail);
    view_.pump();
    view_.playSound(RunSound::Failure);
}

void SubmissionDriver::advanceGauges()
{
    ++completed_;
    view_.setGauges(gaugeMax_, completed_, std::max(0, gaugeMax_ - completed_));
}

void SubmissionDriver::removeFirstRemaining()
{
    if (remaining_ == 0)
        return;
    --remaining_;
    view_.firstRemainingDone();
}

void SubmissionDriver::flushHistory()
{
    if (!history_)
        return;
    history_->flush();
    if (const std::string notice = history_->notice(); !notice.empty())
        view_.showNotice(notice);
}

void SubmissionDriver::runEnd()
{
    flushHistory();
    ProfileStore(baseDir_).applyPendingStamps();
    view_.resetSitesCaption();
    showStatus("Complete", Blink::Keep);
    view_.setBeingSubmitted(kPlaceholder);
    view_.setCurrentEngine(kPlaceholder);
    view_.playSound(RunSound::Completion);
    view_.pump();
    view_.setLamp(Lamp::Off);
    view_.showMessage("Submission Complete.");
    run_.completedTime = longTime(Clock::current().now());
    running_ = false;
    view_.setRunning(false);
    if (run_.cancelRequested)
        finishCancelled();
}

void SubmissionDriver::finishCancelled()
{
    flushHistory();
    ProfileStore(baseDir_).applyPendingStamps();
    view_.setLamp(Lamp::Off);
    showStatus("Cancelled", Blink::Stop);
    view_.setBeingSubmitted(kPlaceholder);
    view_.setCurrentEngine(kPlaceholder);
    view_.pump();
    completed_ = 0;
    view_.setGauges(gaugeMax_, 0, 0);
    restoreIdle();
}

// A run that ends before its site end leaves the engines to do as they stand
// between runs: all of them, not the ones the interrupted site had left.
void SubmissionDriver::showAllEngines()
{
    remaining_ = engines_.size();
    view_.setRemainingEngines(engines_);
}

void SubmissionDriver::showStatus(const std::string& text, Blink blink)
{
    status_ = text;
    view_.setStatus(text, blink);
}

void SubmissionDriver::abortRun()
{
    flushHistory();
    // The stamps of the sites done stay queued when they cannot be written now;
    // the next rewrite of the profiles file takes them along.
    try {
        ProfileStore(baseDir_).applyPendingStamps();
    } catch (const std::exception&) {
    }
    // The controls come back as after a cancel; the status text says what happened last.
    showAllEngines();
    view_.setLamp(Lamp::Off);
    showStatus(status_, Blink::Stop);
    restoreIdle();
}

void SubmissionDriver::restoreIdle()
{
    timerArmed_ = false;
    running_ = false;
    view_.setRunning(false);
}

void SubmissionDriver::skip()
{
    if (!running_)
        return;
    transport_.interrupt();
    run_.skipRequested = true;
    view_.pump();
}

void SubmissionDriver::cancel()
{
    if (!running_)
        return;
    transport_.interrupt();
    run_.cancelRequested = true;
    run_.skipRequested = true;
    view_.setLamp(Lamp::Off);
    showStatus("Cancelled", Blink::Stop);
    view_.setBeingSubmitted(kPlaceholder);
    view_.setCurrentEngine(kPlaceholder);
    view_.pump();
    view_.setGauges(gaugeMax_, 0, 0);
    view_.pump();
    view_.showMessage("Current submission run is being cancelled.  This may take a moment.");
}

void SubmissionDriver::pause()
{
    // A pause may last while the next engine's file is changed: it is read again.
    definitions_.forgetReadAhead();
    view_.setLamp(Lamp::Orange);
    showStatus("Paused", Blink::Keep);
}

void SubmissionDriver::resume()
{
    showStatus("Attempting to Post Site", Blink::Keep);
    view_.setLamp(Lamp::Green);
}

}  // namespace tolvan

#pragma once
// A view that records what a run shows.
#include <functional>
#include <string>
#include <vector>

#include "EngineServer.h"
#include "profiles/SiteProfile.h"
#include "submit/SubmissionRun.h"
#include "submit/SubmissionView.h"

namespace tolvan::test {

struct RecordingView : SubmissionView {
    std::vector<std::string> messages;
    std::vector<std::string> statuses;
    std::vector<std::string> outcomes;  // "engine:outcome"
    std::vector<std::string> details;   // the detail of each outcome, as the command line prints it
    std::vector<std::vector<std::string>> remainingShown;
    std::vector<SubmissionRun> reportsWritten;  // run state at each automatic report
    std::vector<AutoReportKind> reportKinds;
    std::vector<RunSound> sounds;
    std::vector<Lamp> lamps;
    SiteProfile lastProfile;
    bool running = false;
    int gaugeMax = -1, gaugeCompleted = -1, gaugeRemaining = -1;
    std::string beingSubmitted, currentEngine;
    std::function<void()> onPump;
    std::function<void(const SubmissionRun&)> onResults;
    const SubmissionRun* run = nullptr;

    void pump() override
    {
        if (onPump)
            onPump();
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void setRunning(bool r) override { running = r; }
    void setStatus(const std::string& text, Blink) override { statuses.push_back(text); }
    void setBeingSubmitted(const std::string& s) override { beingSubmitted = s; }
    void setCurrentEngine(const std::string& e) override { currentEngine = e; }
    void setGauges(int m, int c, int r) override { gaugeMax = m, gaugeCompleted = c, gaugeRemaining = r; }
    void setRemainingEngines(const std::vector<std::string>& e) override { remainingShown.push_back(e); }
    void setResults(const SubmissionRun& r) override
    {
        if (onResults)
            onResults(r);
    }
    void setLamp(Lamp l) override { lamps.push_back(l); }
    void resetSitesCaption() override {}
    void siteProfileChanged(const SiteProfile& s) override { lastProfile = s; }
    void playSound(RunSound s) override { sounds.push_back(s); }
    void engineFinished(const std::string&, const std::string& engine, EngineOutcome outcome,
                        const std::string& detail) override
    {
        static const char* names[] = {"success", "failed", "timed-out", "skipped"};
        outcomes.push_back(engine + ":" + names[static_cast<int>(outcome)]);
        details.push_back(detail);
    }
    void writeAutoReport(AutoReportKind kind) override
    {
        reportKinds.push_back(kind);
        if (run)
            reportsWritten.push_back(*run);
    }
};

}  // namespace tolvan::test

#pragma once
// What a submission run shows while it goes: the Submit page implements it with
// its widgets, the command line with plain text.
#include <cstddef>
#include <string>
#include <vector>

namespace tolvan {

struct SiteProfile;
struct SubmissionRun;

enum class Lamp { Off, Green, Red, Orange };
enum class Blink { Keep, Start, Stop };
enum class RunSound { Submission, Failure, Site, Completion };
enum class AutoReportKind { Html, Text, Mail };
enum class EngineOutcome { Success, Failed, TimedOut, Skipped };

class SubmissionView {
public:
    virtual ~SubmissionView() = default;

    // Let the front end handle pending events (Pause, Skip, Cancel clicks).
    virtual void pump() = 0;
    // A message the user must see; the window waits for OK.
    virtual void showMessage(const std::string& text) = 0;

    virtual void setRunning(bool running) = 0;  // Submit! and list controls vs Pause/Skip/Cancel
    virtual void setStatus(const std::string& text, Blink blink) = 0;
    virtual void setBeingSubmitted(const std::string& site) = 0;
    virtual void setCurrentEngine(const std::string& engine) = 0;
    virtual void setGauges(int maximum, int completed, int remaining) = 0;
    // The engines still to do: the whole list at a site's end, then one by one.
    virtual void setRemainingEngines(const std::vector<std::string>& engines) = 0;
    virtual void firstRemainingDone() {}
    // Both result lists and their counts; resultAdded says which entry is new.
    virtual void setResults(const SubmissionRun& run) = 0;
    virtual void resultAdded(const SubmissionRun& run, bool success, std::size_t index)
    {
        (void)success, (void)index;
        setResults(run);
    }
    virtual void setLamp(Lamp lamp) = 0;
    virtual void resetSitesCaption() = 0;
    // The working profile changed (loaded for a site, defaults filled in).
    virtual void siteProfileChanged(const SiteProfile& site) = 0;
    // A site without a saved profile is sent with the working profile as it
    // stands; a front end without a Site Data page may point it at the site.
    virtual void siteWithoutProfile(const std::string& address, SiteProfile& site)
    {
        (void)address, (void)site;
    }
    virtual void playSound(RunSound sound) = 0;
    // One engine is done; `detail` is the error message of a failure.
    virtual void engineFinished(const std::string& site, const std::string& engine, EngineOutcome outcome,
                                const std::string& detail)
    {
        (void)site, (void)engine, (void)outcome, (void)detail;
    }
    // A note that needs no answer (history not being kept); shown once per run at most.
    virtual void showNotice(const std::string& text) { (void)text; }
    // The Import and AutoRun window that pressed Submit! closes as the run starts.
    virtual void closeAutoBatchWindow() {}
    // Writes one automatic report for the site just finished.
    virtual void writeAutoReport(AutoReportKind kind) = 0;
};

}  // namespace tolvan

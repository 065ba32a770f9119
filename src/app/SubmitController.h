#pragma once
// Binds the Submit page to the submission run: Submit!, Pause, Skip, Cancel,
// the report buttons, the sounds and the debug capture of the answers.
#include <QObject>
#include <QPointer>

#include <memory>

#include "reporting/EmailReport.h"
#include "reporting/RankData.h"
#include "submit/HttpTransport.h"
#include "submit/SubmissionDriver.h"
#include "submit/SubmissionView.h"

namespace tolvan::app {

class MainWindow;
class DebugWindow;
class Tautobatch;

class SubmitController : public QObject, private SubmissionView {
    Q_OBJECT
public:
    explicit SubmitController(MainWindow* window);
    ~SubmitController() override;

    // The submission client.
    HttpClient& HTTP1() { return transport_.client(); }
    const SubmissionRun& run() const { return driver_.state(); }
    bool running() const { return driver_.running(); }

public slots:
    void BitBtn1Click();   // Submit!
    void BitBtn2Click();   // Cancel
    void pausebtnClick();
    void skipbtnClick();
    void BitBtn13Click();  // Text report
    void BitBtn14Click();  // HTML report
    void BitBtn3Click();   // E-Mail report
    // Import and AutoRun presses Submit!: its window closes as the run starts.
    void autoBatchSubmit(Tautobatch* window);
    // The About box's Debug button: capture every answer into "HTTP Responses".
    void startDebugCapture();

private:
    // What the run shows.
    void pump() override;
    void showMessage(const std::string& text) override;
    void showNotice(const std::string& text) override;
    void setRunning(bool running) override;
    void setStatus(const std::string& text, Blink blink) override;
    void setBeingSubmitted(const std::string& site) override;
    void setCurrentEngine(const std::string& engine) override;
    void setGauges(int maximum, int completed, int remaining) override;
    void setRemainingEngines(const std::vector<std::string>& engines) override;
    void firstRemainingDone() override;
    void setResults(const SubmissionRun& run) override;
    void resultAdded(const SubmissionRun& run, bool success, std::size_t index) override;
    void showResultCounts(const SubmissionRun& run);
    void setLamp(Lamp lamp) override;
    void resetSitesCaption() override;
    void siteProfileChanged(const SiteProfile& site) override;
    void playSound(RunSound sound) override;
    void writeAutoReport(AutoReportKind kind) override;
    void closeAutoBatchWindow() override;

    // The window has closed: the run ends without another request or message.
    void abandonRun();

    EmailReportSettings mailSettings() const;
    std::size_t sitesListed() const;

    MainWindow* window_;
    HttpTransport transport_;
    SubmissionDriver driver_;
    SiteProfile site_;  // the working profile while a run goes
    ReportKind mailKind_;
    RankData rank_;
    QPointer<DebugWindow> debug_;
    QPointer<Tautobatch> autoBatch_;
    bool abandoned_ = false;
};

}  // namespace tolvan::app

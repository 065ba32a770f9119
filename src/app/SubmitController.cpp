#include "app/SubmitController.h"

#include <QMessageBox>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>

#include "app/ErrorHandler.h"
#include "app/MainWindow.h"
#include "app/Messages.h"
#include "app/QtEventPump.h"
#include "app/ReportActions.h"
#include "app/TextConversion.h"
#include "app/WavPlayer.h"
#include "app/dialogs/DebugWindow.h"
#include "app/dialogs/EmailReportDialog.h"
#include "app/dialogs/ImportAutoRunWindow.h"
#include "app/dialogs/PauseDialog.h"
#include "app/pages/EnginesPage.h"
#include "app/pages/SiteDataPage.h"
#include "app/pages/SubmitPage.h"
#include "reporting/AutoReports.h"
#include "reporting/ReportData.h"
#include "widgets/BlinkLabel.h"
#include "widgets/LedLamp.h"
#include "widgets/LedNumber.h"

namespace tolvan::app {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }


// The lamp's colour values.
constexpr int kGreen = 65280;
constexpr int kRed = 255;
constexpr int kOrange = 4227327;
}  // namespace

SubmitController::SubmitController(MainWindow* window)
    : QObject(window), window_(window), driver_(window->baseDir(), *this, transport_)
{
    SubmitPage* page = window_->TabSheet3;
    connect(page->BitBtn1, &QPushButton::clicked, this, &SubmitController::BitBtn1Click);
    connect(page->BitBtn2, &QPushButton::clicked, this, &SubmitController::BitBtn2Click);
    connect(page->pausebtn, &QPushButton::clicked, this, &SubmitController::pausebtnClick);
    connect(page->skipbtn, &QPushButton::clicked, this, &SubmitController::skipbtnClick);
    connect(page->BitBtn13, &QPushButton::clicked, this, &SubmitController::BitBtn13Click);
    connect(page->BitBtn14, &QPushButton::clicked, this, &SubmitController::BitBtn14Click);
    connect(page->BitBtn3, &QPushButton::clicked, this, &SubmitController::BitBtn3Click);

    // Debug capture: the last answer's body, shown as a page titled with the engine.
    HttpClient& http = transport_.client();
    http.OnStartTransfer = [this] {
        if (debug_)
            debug_->startTransfer(window_->TabSheet3->currentenginel->text());
    };
    http.OnTransfer = [this](std::int64_t, std::string_view piece) {
        if (debug_)
            debug_->transfer(QByteArray(piece.data(), static_cast<qsizetype>(piece.size())));
    };
    http.OnEndTransfer = [this] {
        if (debug_)
            debug_->endTransfer();
    };
    connect(window_, &MainWindow::closed, this, &SubmitController::abandonRun);
}

SubmitController::~SubmitController()
{
    // Closing the window during a run abandons the request in progress.
    transport_.interrupt();
}

void SubmitController::BitBtn1Click()
{
    if (driver_.running())
        return;
    guarded([this] {
        const Settings settings = window_->currentSettings();
        const auto& proxy = window_->submissionClientProxy();
        transport_.client().setProxyServer(proxy.server.toStdString());
        transport_.client().setProxyPort(static_cast<std::uint16_t>(proxy.port));

        RunRequest request;
        request.sites = toLines(window_->TabSheet3->sitesToSubmit());
        request.engines = toLines(window_->TabSheet2->enginesToSubmit());
        request.timeoutSeconds = settings.timeout;
        request.autoHtml = settings.htmlcheck;
        request.autoText = settings.textcheck;
        request.autoMail = settings.emailcheck;
        site_ = window_->TabSheet1->profile();
        abandoned_ = false;
        driver_.run(request, site_);
    });
}

void SubmitController::BitBtn2Click() { driver_.cancel(); }

void SubmitController::skipbtnClick() { driver_.skip(); }

void SubmitController::pausebtnClick()
{
    if (!driver_.running())
        return;
    driver_.pause();
    window_->TabSheet3->Led->setInterval(1000);
    PauseDialog pause(window_);
    pause.exec();
    driver_.resume();
    window_->TabSheet3->Led->setInterval(1000);
}

void SubmitController::BitBtn13Click()
{
    app::BitBtn13Click(window_, driver_.state(), window_->TabSheet1->profile(),
                       reportSettingsFrom(window_->currentSettings()), sitesListed());
}

void SubmitController::BitBtn14Click()
{
    app::BitBtn14Click(window_, driver_.state(), window_->TabSheet1->profile(),
                       reportSettingsFrom(window_->currentSettings()), sitesListed());
}

void SubmitController::BitBtn3Click()
{
    driver_.state().autoReport = false;
    const SiteProfile site = window_->TabSheet1->profile();
    guarded([&] { app::BitBtn3Click(window_, mailKind_, mailSettings(), site, driver_.state(), rank_, sitesListed()); });
}

void SubmitController::abandonRun()
{
    if (!driver_.running())
        return;
    // As Cancel does, without its message: the engine in progress ends and the
    // run finishes as cancelled at its next check.
    abandoned_ = true;
    driver_.state().cancelRequested = true;
    driver_.state().skipRequested = true;
    transport_.interrupt();
}

void SubmitController::autoBatchSubmit(Tautobatch* window)
{
    autoBatch_ = window;
    driver_.state().autoBatchOpen = true;
    BitBtn1Click();
}

void SubmitController::closeAutoBatchWindow()
{
    // Released only after the handler that pressed Submit! has returned.
    if (autoBatch_)
        autoBatch_->closeForRun();
    autoBatch_ = nullptr;
}

void SubmitController::startDebugCapture()
{
    if (!debug_)
        debug_ = new DebugWindow(window_->baseDirQ(), window_);
    debug_->show();
    debug_->raise();
}

EmailReportSettings SubmitController::mailSettings() const
{
    return emailReportSettings(window_->currentSettings(), window_->customMessage());
}

std::size_t SubmitController::sitesListed() const
{
    return static_cast<std::size_t>(window_->TabSheet3->ListBox4->count());
}

// ---- what the run shows ----

void SubmitController::pump() { QtEventPump::instance().processEvents(); }

// A note the run does not wait for: a box that stays open beside the window.
void SubmitController::showNotice(const std::string& text) { app::showNotice(window_, q(text)); }

void SubmitController::showMessage(const std::string& text)
{
    if (!abandoned_)
        app::showMessage(window_, q(text));
}

void SubmitController::setRunning(bool running)
{
    window_->TabSheet3->setRunning(running);
    window_->TabSheet2->setRunning(running);
}

void SubmitController::setStatus(const std::string& text, Blink blink)
{
    widgets::BlinkLabel* status = window_->TabSheet3->statusl;
    status->setText(q(text));
    if (blink == Blink::Start)
        status->startBlinking();
    else if (blink == Blink::Stop)
        status->stopBlinking();
}

void SubmitController::setBeingSubmitted(const std::string& site)
{
    window_->TabSheet3->beingsubmittedl->setText(q(site));
}

void SubmitController::setCurrentEngine(const std::string& engine)
{
    window_->TabSheet3->currentenginel->setText(q(engine));
}

void SubmitController::setGauges(int maximum, int completed, int remaining)
{
    SubmitPage* page = window_->TabSheet3;
    page->ProgressBar1->setMaximum(std::max(maximum, 1));
    page->ProgressBar1->setValue(completed);
    page->ProgressBar2->setMaximum(std::max(maximum, 1));
    page->ProgressBar2->setValue(remaining);
    page->ledn6->setValue(completed);
    page->ledn7->setValue(remaining);
}

void SubmitController::setRemainingEngines(const std::vector<std::string>& engines)
{
    SubmitPage* page = window_->TabSheet3;
    page->ListBox3->clear();
    page->ListBox3->addItems(fromLines(engines));
    page->ledn1->setValue(static_cast<int>(engines.size()));
}

void SubmitController::firstRemainingDone()
{
    SubmitPage* page = window_->TabSheet3;
    delete page->ListBox3->takeItem(0);
    page->ledn1->setValue(page->ListBox3->count());
}

void SubmitController::setResults(const SubmissionRun& run)
{
    SubmitPage* page = window_->TabSheet3;
    page->successlist->clear();
    page->successlist->addItems(fromLines(run.successList));
    page->failedlist->clear();
    page->failedlist->addItems(fromLines(run.failedList));
    showResultCounts(run);
}

void SubmitController::resultAdded(const SubmissionRun& run, bool success, std::size_t index)
{
    const auto& list = success ? run.successList : run.failedList;
    QListWidget* box = success ? window_->TabSheet3->successlist : window_->TabSheet3->failedlist;
    box->insertItem(static_cast<int>(index), q(list[index]));
    showResultCounts(run);
}

void SubmitController::showResultCounts(const SubmissionRun& run)
{
    SubmitPage* page = window_->TabSheet3;
    page->ledn2->setValue(static_cast<int>(run.successList.size()));
    page->ledn4->setValue(static_cast<int>(run.successList.size()));
    page->ledn3->setValue(static_cast<int>(run.failedList.size()));
    page->ledn5->setValue(static_cast<int>(run.failedList.size()));
}

void SubmitController::setLamp(Lamp lamp)
{
    widgets::LedLamp* led = window_->TabSheet3->Led;
    switch (lamp) {
    case Lamp::Off: led->setOn(false); return;
    case Lamp::Green: led->setColorValue(kGreen); break;
    case Lamp::Red: led->setColorValue(kRed); break;
    case Lamp::Orange: led->setColorValue(kOrange); break;
    }
    led->setOn(true);
}

void SubmitController::resetSitesCaption()
{
    QLabel* caption = window_->TabSheet3->sitestosubmitl;
    caption->setText("Sites to submit:");
    caption->setPalette(QPalette());
}

void SubmitController::siteProfileChanged(const SiteProfile& site) { window_->TabSheet1->setProfile(site, true); }

void SubmitController::playSound(RunSound sound)
{
    const Settings s = window_->currentSettings();
    const auto [wanted, file] = [&]() -> std::pair<bool, std::string> {
        switch (sound) {
        case RunSound::Submission: return {s.subwavchk, s.subwav};
        case RunSound::Failure: return {s.failwavchk, s.failwav};
        case RunSound::Site: return {s.sitewavchk, s.sitewav};
        case RunSound::Completion: return {s.completewavchk, s.completewav};
        }
        return {false, {}};
    }();
    if (wanted)
        playWavSync(q(file));
}

void SubmitController::writeAutoReport(AutoReportKind kind)
{
    if (kind == AutoReportKind::Mail) {
        app::sendmail(window_, mailKind_, mailSettings(), site_, driver_.state(), window_->TabSheet3->sitestosubmitl);
        return;
    }
    AutoReports(window_->baseDir(), window_->currentSettings(), sitesListed()).write(kind, site_, driver_.state());
}

}  // namespace tolvan::app

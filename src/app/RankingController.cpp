#include "app/RankingController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/ErrorHandler.h"
#include "app/Messages.h"
#include "app/QtEventPump.h"
#include "app/dialogs/EmailReportDialog.h"
#include "app/dialogs/SaveFileDialog.h"
#include "app/pages/RankingPage.h"
#include "history/HistoryStore.h"
#include "profiles/SiteProfile.h"
#include "ranking/RankHistory.h"
#include "reporting/RankReport.h"
#include "storage/LineList.h"
#include "submit/SubmissionRun.h"
#include "util/Files.h"
#include "widgets/DropDownComboBox.h"
#include "widgets/LedLamp.h"
#include "widgets/LedNumber.h"

namespace tolvan::app {

namespace {

}  // namespace

RankingController::RankingController(RankingPage* page)
    : QObject(page), page_(page), run_(std::string(), *this, QtEventPump::instance())
{
    connect(page_->rankbtn, &QPushButton::clicked, this, &RankingController::rankbtnClick);
    connect(page_->rankhtmlbtn, &QPushButton::clicked, this, &RankingController::rankhtmlbtnClick);
    connect(page_->ranktextbtn, &QPushButton::clicked, this, &RankingController::ranktextbtnClick);
    connect(page_->rankemailbtn, &QPushButton::clicked, this, &RankingController::rankemailbtnClick);
}

RankingController::~RankingController() { run_.stop(); }

void RankingController::setProxy(const QString& server, int port)
{
    const bool usable = port > 0 && port <= 65535;
    run_.setProxy(server.trimmed().toStdString(), static_cast<std::uint16_t>(usable ? port : 80));
}

void RankingController::setSettingsSource(std::function<Settings()> source) { settingsSource_ = std::move(source); }

void RankingController::setCustomMessageSource(std::function<std::vector<std::string>()> source)
{
    customMessageSource_ = std::move(source);
}

QWidget* RankingController::dialogParent() const { return page_->window(); }

Settings RankingController::settings() const { return settingsSource_ ? settingsSource_() : defaultSettings(); }

std::string RankingController::baseDir() const { return QFile::encodeName(page_->baseDir()).toStdString(); }

void RankingController::stop() { run_.stop(); }

void RankingController::rankbtnClick()
{
    if (run_.running()) {
        run_.cancel();  // the button reads "Stop" while a run goes
        return;
    }
    const QString caption = page_->rankbtn->text();
    struct Restore {
        QPushButton* button;
        QString caption;
        ~Restore() { button->setText(caption); }
    } restore{page_->rankbtn, caption};
    guarded([this] {
        run_.setBaseDir(baseDir());
        RankRequest request;
        request.site = page_->sitetorankedit->currentText().toStdString();
        request.phrase = page_->keyphraseedit->text().toStdString();
        request.depth = page_->depthedit->currentText().toStdString();
        request.timeoutSeconds = settings().timeout;
        // Every engine's outcome goes into the history; a history that cannot
        // be written says so once and the run goes on.
        HistoryStore store(baseDir());
        RankHistory history(store);
        run_.onOutcome = [&](const RankCheckResult& r) { history.record({r}); };
        struct Unhook {
            RankRun& run;
            ~Unhook() { run.onOutcome = nullptr; }
        } unhook{run_};
        page_->rankbtn->setText(QStringLiteral("Stop"));
        run_.run(request);
        if (const std::string notice = store.notice(); !notice.empty())
            showNotice(dialogParent(), QString::fromStdString(notice));
    });
}

void RankingController::rankhtmlbtnClick()
{
    const SaveDialogSetup setup{"Save Lumetra Report as HTML",
                                {QStringLiteral("HTML files (*.HTM *.HTML *.htm *.html)")}, "HTM", "lumetra.htm"};
    const QString file = askForSaveFile(dialogParent(), setup);
    if (file.isEmpty())
        return;
    guarded([&] {
        wrhtm(QFile::encodeName(file).toStdString(), page_->rankData(), reportSettingsFrom(settings()));
        app::showMessage(dialogParent(), QString::fromLatin1(kRankHtmlSaved));
    });
}

void RankingController::ranktextbtnClick()
{
    const SaveDialogSetup setup{"Save Tolvan Report as TEXT", {QStringLiteral("Text files (*.TXT *.txt)")}, "TXT",
                                "lumetra.txt"};
    const QString file = askForSaveFile(dialogParent(), setup);
    if (file.isEmpty())
        return;
    guarded([&] {
        ranktxt(QFile::encodeName(file).toStdString(), page_->rankData(), reportSettingsFrom(settings()));
        app::showMessage(dialogParent(), QString::fromLatin1(kRankTextSaved));
    });
}

void RankingController::rankemailbtnClick()
{
    guarded([this] {
        std::vector<std::string> custom;
        if (customMessageSource_) {
            custom = customMessageSource_();
        } else {
            const std::string file = joinPath(baseDir(), "sites/custmsg.tlx");
            if (fileExists(file))
                custom = readLineList(file);
        }
        const EmailReportSettings mail = emailReportSettings(settings(), std::move(custom));
        const RankData rank = page_->rankData();
        const SiteProfile noSite;
        const SubmissionRun noRun;
        app::rankemailbtnClick(dialogParent(), mailKind_, mail, noSite, noRun, rank);
    });
}

// ---- what the run shows ----

namespace {
RankingPage::EnginePanel panelOf(const RankingPage* page, RankEngine engine)
{
    return page->enginePanels()[static_cast<std::size_t>(engine)];
}
}  // namespace

std::string RankingController::phrase() { return page_->keyphraseedit->text().toStdString(); }

void RankingController::setPhrase(const std::string& phrase)
{
    page_->keyphraseedit->setText(QString::fromStdString(phrase));
}

bool RankingController::engineSelected(RankEngine engine) { return panelOf(page_, engine).check->isChecked(); }

void RankingController::setLamp(RankEngine engine, bool lit) { panelOf(page_, engine).lamp->setOn(lit); }

void RankingController::setCaption(RankEngine engine, const std::string& caption)
{
    panelOf(page_, engine).check->setText(QString::fromStdString(caption));
}

void RankingController::setPosition(RankEngine engine, int position)
{
    panelOf(page_, engine).digit->setValue(position);
}

void RankingController::setRankBuffer(std::string_view page)
{
    page_->setRankBuffer(QString::fromUtf8(page.data(), static_cast<qsizetype>(page.size())));
}

void RankingController::showMessage(const std::string& text)
{
    app::showMessage(dialogParent(), QString::fromStdString(text));
}

}  // namespace tolvan::app

#pragma once
// The main window: seven pages and a menu. It owns the working state for the
// life of the process, runs start-up (settings, data files, last site) and
// writes everything back when it closes.
#include <QPointer>
#include <QMainWindow>
#include <QString>

#include <string>
#include <vector>

#include "profiles/SiteProfile.h"
#include "settings/Settings.h"

class QAction;
class QTabWidget;
class QTimer;

namespace tolvan::app {

class SiteDataPage;
class EnginesPage;
class SubmitPage;
class PageBuilderPage;
class SearchPage;
class RankingPage;
class OptionsPage;
class SubmitController;
class RankingController;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Creates the window and runs start-up against the current directory (the
    // base directory) and the user's settings file.
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The working directory at creation, with "/" appended.
    const std::string& baseDir() const { return baseDir_; }
    QString baseDirQ() const { return QString::fromStdString(baseDir_); }
    std::string dataPath(const std::string& relative) const { return baseDir_ + relative; }

    // The settings as read at start-up, with the controls' current values.
    Settings currentSettings() const;
    const std::string& settingsPath() const { return settingsPath_; }
    // The maker's web address (data/hosts.tlx, Maker/Web, or the built-in one).
    QString makerWeb() const;

    // The proxy each HTTP client was given: both at start-up, the submission
    // client again on every edit of the proxy fields.
    struct ProxySetting {
        QString server;
        int port = 80;
    };
    const ProxySetting& submissionClientProxy() const { return http1Proxy_; }
    const ProxySetting& rankingClientProxy() const { return http2Proxy_; }

    // Switched on by the About box's Debug button; never switched off.
    bool debugCapture() const { return debugCapture_; }

    // The custom message memo's lines, as the e-mail reports put them on top.
    std::vector<std::string> customMessage() const;

    // The submission run bound to the Submit page.
    SubmitController* submitController() const { return submit_; }

    // A termination signal: close any modal box, then close as File, Exit does.
    void requestTermination();

    QTabWidget* PageControl1 = nullptr;
    SiteDataPage* TabSheet1 = nullptr;
    EnginesPage* TabSheet2 = nullptr;
    SubmitPage* TabSheet3 = nullptr;
    PageBuilderPage* TabSheet4 = nullptr;
    SearchPage* TabSheet6 = nullptr;
    RankingPage* TabSheet7 = nullptr;
    OptionsPage* TabSheet5 = nullptr;

    QAction* updatefiles = nullptr;  // File, Update Data Files
    QAction* BatchRun1 = nullptr;    // File, Import and AutoRun
    QAction* Exit1 = nullptr;        // File, Exit
    QAction* Help2 = nullptr;        // Help, Help
    QAction* TolvanHomePage1 = nullptr;
    QAction* QuendelHomePage1 = nullptr;
    QAction* About1 = nullptr;
    QAction* IndexNow1 = nullptr;            // Tools, IndexNow...
    QAction* SubmissionHistory1 = nullptr;   // Tools, Submission History...
    QAction* RankTracker1 = nullptr;         // Tools, Rank Tracker...

public slots:
    void PageControl1Change(int index);
    void PageControl1Enter();
    void Exit1Click();
    void Help2Click();
    void TolvanHomePage1Click();
    void QuendelHomePage1Click();
    void About1Click();
    void IndexNow1Click();
    void SubmissionHistory1Click();
    void RankTracker1Click();
    void updatefilesClick();
    void BatchRun1Click();

signals:
    // The About box's Debug button: the run opens its "HTTP Responses" window.
    void debugModeRequested();
    // The focus moved into a page from outside it (TabSheet3Enter and friends).
    void pageEntered(QWidget* page);
    // The shutdown writes are done and the window has closed.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildPages();
    void connectControllers();
    void fixSizeAndCentre();
    void FormCreate();
    bool startupSteps();
    void FormShow();
    QStringList FormClose();
    void onFocusChanged(QWidget* old, QWidget* now);
    void checkDataVersion();
    void firstTimeSignUp();
    void openMakerAddress(const QString& address);
    void setSubmissionClientProxyServer(const QString& server);
    void setSubmissionClientProxyPort(int port);

    std::string baseDir_;
    // The widget of this window that had the focus last. Focus that leaves for
    // a message box or dialog and comes back has not entered anything.
    QPointer<QWidget> lastFocus_;
    SubmitController* submit_ = nullptr;
    RankingController* ranking_ = nullptr;
    std::string settingsPath_;
    Settings settings_;
    ProxySetting http1Proxy_;
    ProxySetting http2Proxy_;
    bool debugCapture_ = false;
    bool shown_ = false;
    bool closed_ = false;
    // Start-up stopped before the last site was read: unless the user typed
    // something since, the close leaves sites/last.tlx alone.
    bool lastFieldsLoaded_ = false;
    SiteProfile fieldsAtStart_;
};

}  // namespace tolvan::app

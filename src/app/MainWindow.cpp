#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QLayout>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include <cstdio>

#include "app/AboutDialog.h"
#include "app/AppInfo.h"
#include "app/Artwork.h"
#include "app/Browser.h"
#include "app/FontConfiguration.h"
#include "app/RankApiKeys.h"
#include "app/RankingController.h"
#include "app/SubmitController.h"
#include "app/dialogs/BatchListDialogs.h"
#include "app/dialogs/ErrorLogViewer.h"
#include "app/dialogs/ImportAutoRunWindow.h"
#include "app/dialogs/IndexNowDialog.h"
#include "app/dialogs/RankTrackerWindow.h"
#include "app/dialogs/SubmissionHistoryWindow.h"
#include "app/dialogs/UpdateDialog.h"
#include "app/ErrorHandler.h"
#include "app/HelpGuide.h"
#include "app/Messages.h"
#include "app/PageSizeCache.h"
#include "app/TerminationSignals.h"
#include "app/dialogs/SignupDialog.h"
#include "app/dialogs/SiteProfileDialogs.h"
#include "app/pages/EnginesPage.h"
#include "app/pages/OptionsPage.h"
#include "app/pages/PageBuilderPage.h"
#include "app/pages/RankingPage.h"
#include "app/pages/SearchPage.h"
#include "app/pages/SiteDataPage.h"
#include "app/pages/SubmitPage.h"
#include "net/RemoteHosts.h"
#include "profiles/ProfileStore.h"
#include "storage/BigIniFile.h"
#include "storage/LineList.h"
#include "util/Files.h"
#include "widgets/LedLamp.h"

namespace tolvan::app {

namespace {

// The page control has the fixed size its pages need. It lays a page out only
// once it is on screen; start-up reads the first page before that, so that
// page gets its final geometry up front.
class PageControl : public QTabWidget {
public:
    using QTabWidget::QTabWidget;

    // From here on that size is its size hint too, so nothing measures the
    // hidden pages again before they are shown.
    void fixSize(const QSize& size)
    {
        fixed_ = size;
        setFixedSize(size);
    }
    QSize sizeHint() const override { return fixed_.isValid() ? fixed_ : QTabWidget::sizeHint(); }
    QSize minimumSizeHint() const override { return fixed_.isValid() ? fixed_ : QTabWidget::minimumSizeHint(); }

    void layOutCurrentPageNow()
    {
        QStyleOptionTabWidgetFrame option;
        initStyleOption(&option);
        const QRect pageRect = style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this);
        // The page stack gets its place too: shown without one, it would size
        // itself to all its pages' size hints.
        if (auto* stack = findChild<QStackedWidget*>(QString(), Qt::FindDirectChildrenOnly))
            stack->setGeometry(pageRect);
        QWidget* page = currentWidget();
        page->setGeometry(QRect(QPoint(0, 0), pageRect.size()));
        if (QLayout* layout = page->layout()) {
            layout->invalidate();  // size hints cached before the widgets were polished
            layout->activate();
        }
    }

private:
    QSize fixed_;
};

constexpr const char* kDataVersion = "2.20";

QString q(const std::string& s) { return QString::fromStdString(s); }

QStringList toQStringList(const LineList& lines)
{
    QStringList out;
    out.reserve(static_cast<qsizetype>(lines.size()));
    for (const auto& line : lines)
        out << q(line);
    return out;
}

bool sameFields(const SiteProfile& a, const SiteProfile& b)
{
    return a.protocol == b.protocol && a.address == b.address && a.title == b.title &&
           a.descriptionLines == b.descriptionLines && a.category == b.category && a.keywords == b.keywords &&
           a.name == b.name && a.company == b.company && a.city == b.city && a.country == b.country &&
           a.email == b.email && a.street == b.street && a.state == b.state && a.zip == b.zip &&
           a.phone == b.phone && a.fax == b.fax;
}

bool isInside(const QWidget* widget, const QWidget* container)
{
    return widget && container && (widget == container || container->isAncestorOf(widget));
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(kWindowCaption));
    setWindowIcon(applicationIcon());


    buildMenu();
    fontConfiguration::waitUntilRead();
    buildPages();
    fixSizeAndCentre();

    connect(qApp, &QApplication::focusChanged, this, &MainWindow::onFocusChanged);
    FormCreate();
    fieldsAtStart_ = TabSheet1->profile();
    connectControllers();
}

std::vector<std::string> MainWindow::customMessage() const
{
    std::vector<std::string> lines;
    for (const QString& line : TabSheet5->customMessage())
        lines.push_back(line.toStdString());
    return lines;
}

void MainWindow::connectControllers()
{
    // The ranking client gets the proxy of start-up only.
    ranking_ = new RankingController(TabSheet7);
    ranking_->setSettingsSource([this] { return currentSettings(); });
    ranking_->setCustomMessageSource([this] { return customMessage(); });
    ranking_->setProxy(http2Proxy_.server, http2Proxy_.port);
    connect(this, &MainWindow::closed, ranking_, &RankingController::stop);

    submit_ = new SubmitController(this);
    connectBatchListDialogs(TabSheet3);
    connect(TabSheet5->Updatebtn, &QPushButton::clicked, this,
            [this] { guarded([this] { UpdatebtnClick(this, baseDir_, TabSheet2); }); });
    connect(this, &MainWindow::debugModeRequested, submit_, &SubmitController::startDebugCapture);
    connect(TabSheet5->BitBtn4, &QPushButton::clicked, this,
            [this] { guarded([this] { ErrorLogViewer::open(baseDirQ(), this); }); });
    connect(TabSheet5->BitBtn8, &QPushButton::clicked, this, [this] {
        guarded([this] { ErrorLogViewer::clearLog(baseDirQ(), this, ErrorLogViewer::newest()); });
    });
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenu()
{
    auto makeAction = [this](const char* objectName, const char* caption, void (MainWindow::*handler)()) {
        auto* action = new QAction(QString::fromLatin1(caption), this);
        action->setObjectName(QString::fromLatin1(objectName));
        connect(action, &QAction::triggered, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    updatefiles = makeAction("updatefiles", "&Update Data Files", &MainWindow::updatefilesClick);
    BatchRun1 = makeAction("BatchRun1", "&Import and AutoRun", &MainWindow::BatchRun1Click);
    Exit1 = makeAction("Exit1", "E&xit", &MainWindow::Exit1Click);
    file->addAction(updatefiles);
    file->addAction(BatchRun1);
    file->addSeparator();
    file->addAction(Exit1);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("Tools1"));
    IndexNow1 = makeAction("IndexNow1", "IndexNow...", &MainWindow::IndexNow1Click);
    SubmissionHistory1 = makeAction("SubmissionHistory1", "Submission History...", &MainWindow::SubmissionHistory1Click);
    tools->addAction(IndexNow1);
    tools->addAction(SubmissionHistory1);
    RankTracker1 = makeAction("RankTracker1", "Rank Tracker...", &MainWindow::RankTracker1Click);
    tools->addAction(RankTracker1);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    Help2 = makeAction("Help2", "&Help", &MainWindow::Help2Click);
    Help2->setShortcut(QKeySequence::HelpContents);
    TolvanHomePage1 = makeAction("TolvanHomePage1", "&Tolvan Home Page", &MainWindow::TolvanHomePage1Click);
    QuendelHomePage1 = makeAction("QuendelHomePage1", "&Quendel Home Page", &MainWindow::QuendelHomePage1Click);
    About1 = makeAction("About1", "&About Tolvan", &MainWindow::About1Click);
    help->addAction(Help2);
    help->addSeparator();
    help->addAction(TolvanHomePage1);
    help->addAction(QuendelHomePage1);
    help->addSeparator();
    help->addAction(About1);
}

void MainWindow::buildPages()
{
    PageControl1 = new PageControl(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = new SiteDataPage;
    TabSheet2 = new EnginesPage;
    TabSheet3 = new SubmitPage;
    TabSheet4 = new PageBuilderPage;
    TabSheet6 = new SearchPage;
    TabSheet7 = new RankingPage;
    TabSheet5 = new OptionsPage;
    const std::pair<QWidget*, const char*> pages[] = {
        {TabSheet1, "TabSheet1"}, {TabSheet2, "TabSheet2"}, {TabSheet3, "TabSheet3"}, {TabSheet4, "TabSheet4"},
        {TabSheet6, "TabSheet6"}, {TabSheet7, "TabSheet7"}, {TabSheet5, "TabSheet5"}};
    const char* captions[] = {"Site Data", "Engines", "Submit", "Page Builder", "Search", "Ranking", "Options"};
    for (std::size_t i = 0; i < std::size(pages); ++i) {
        pages[i].first->setObjectName(QString::fromLatin1(pages[i].second));
        PageControl1->addTab(pages[i].first, QString::fromLatin1(captions[i]));
    }
    PageControl1->setCurrentIndex(0);
    setCentralWidget(PageControl1);

    connect(PageControl1, &QTabWidget::currentChanged, this,
            [this](int index) { guarded([this, index] { PageControl1Change(index); }); });
    connect(TabSheet1, &SiteDataPage::saveDialogRequested, this, [this] {
        saveSiteProfileDialog(this, baseDirQ(), TabSheet1->profile());
    });
    connect(TabSheet1, &SiteDataPage::loadDialogRequested, this, [this] {
        SiteProfile site = TabSheet1->profile();
        if (loadSiteProfileDialog(this, baseDirQ(), site))
            TabSheet1->setProfile(site, true);
    });
    connect(TabSheet5, &OptionsPage::proxyServerEdited, this, &MainWindow::setSubmissionClientProxyServer);
    connect(TabSheet5, &OptionsPage::proxyPortEdited, this, &MainWindow::setSubmissionClientProxyPort);
    linkEngineLists(TabSheet2, TabSheet3);
    connect(TabSheet2, &EnginesPage::submitPageRequested, this,
            [this] { PageControl1->setCurrentWidget(TabSheet3); });
    // Entering a page: the Submit page takes the working site into its list,
    // the Page Builder copies its title and keywords, the Search page reloads
    // the saved addresses.
    connect(this, &MainWindow::pageEntered, this, [this](QWidget* page) {
        if (page == TabSheet3) {
            TabSheet3->addCurrentSite(TabSheet1->fullAddress());
        } else if (page == TabSheet4) {
            QStringList keywords;
            for (int i = 1; i <= 18; ++i)
                keywords << TabSheet1->keyEdit(i)->text();
            TabSheet4->TabSheet4Enter(TabSheet1->title->text(), keywords,
                                      TabSheet1->descriptionLines().join(QLatin1Char(' ')));
        } else if (page == TabSheet6) {
            TabSheet6->TabSheet6Enter();
        }
    });
}

void MainWindow::fixSizeAndCentre()
{
    auto* pages = static_cast<PageControl*>(PageControl1);
    // Polished now, the pages measure as they will be shown.
    ensurePolished();
    const QString key = PageSizeCache::keyFor(*pages);
    QSize need;
    if (const std::optional<QSize> kept = PageSizeCache().find(key)) {
        need = *kept;
    } else {
        for (int i = 0; i < pages->count(); ++i) {
            if (QLayout* layout = pages->widget(i)->layout())
                layout->invalidate();
        }
        // The client area is 601 by 410 unless the pages need more with this font.
        need = pages->minimumSizeHint().expandedTo(QSize(601, 410));
        // Kept from the event loop, out of the way of building the window.
        QTimer::singleShot(0, this, [key, need] { PageSizeCache().keep(key, need); });
    }
    pages->fixSize(need);
    adjustSize();
    setFixedSize(size());
    pages->layOutCurrentPageNow();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

// ---------------------------------------------------------------- start-up

void MainWindow::FormCreate()
{
    baseDir_ = QDir::currentPath().toStdString() + "/";
    TabSheet1->setBaseDir(baseDirQ());
    TabSheet2->setBaseDir(baseDirQ());
    TabSheet3->setBaseDir(baseDirQ());
    TabSheet4->setBaseDir(baseDirQ());
    TabSheet5->setBaseDir(baseDirQ());
    TabSheet6->setBaseDir(baseDirQ());
    TabSheet7->setBaseDir(baseDirQ());
    // An error in one step is shown and start-up goes on with the window.
    guarded([this] { startupSteps(); });
}

bool MainWindow::startupSteps()
{
    // Settings into the Options page; a value of the wrong type is reported and
    // the rest go on.
    guarded([this] {
        settingsPath_ = defaultSettingsPath();
        SettingsLoad load = loadSettings(settingsPath_, makerWeb().toStdString());
        for (const auto& message : load.messages)
            showMessage(this, q(message));
        settings_ = load.settings;
        TabSheet5->showSettings(settings_);
        TabSheet4->forwardcheck->setChecked(settings_.forwardcheck);
    });
    // Both HTTP clients get the stored proxy, ticked or not. A port that is no
    // whole number leaves them on port 80.
    ProxySetting proxy;
    proxy.server = TabSheet5->proxyserver->text();
    try {
        proxy.port = OptionsPage::portNumber(TabSheet5->proxyport->text());
    } catch (const std::exception&) {
        proxy.port = 80;
    }
    http1Proxy_ = proxy;
    http2Proxy_ = proxy;

    const std::string categoriesFile = dataPath("data/categories.tlx");
    if (!fileExists(categoriesFile)) {
        showMessage(this, QStringLiteral("Category Data Missing - Please Re-Install Tolvan"));
        return false;
    }
    TabSheet1->setCategories(toQStringList(readLineList(categoriesFile)));

    const std::string indexFile = dataPath("data/sites.tlx");
    if (!fileExists(indexFile)) {
        showMessage(this, QStringLiteral("Search Engine Index Missing - Please Re-Install or update datafiles."));
        return false;
    }
    TabSheet2->setAvailableEngines(toQStringList(readLineList(indexFile)));

    TabSheet6->isradio->setChecked(true);
    if (TabSheet3->Led)
        TabSheet3->Led->setOn(false);

    guarded([this] {
        TabSheet1->setProfile(ProfileStore(baseDir_).readLastFields(), false);
        lastFieldsLoaded_ = true;
    });
    guarded([this] { checkDataVersion(); });
    if (settings_.firstTime)
        guarded([this] { firstTimeSignUp(); });
    guarded([this] {
        const std::string custom = dataPath("sites/custmsg.tlx");
        if (fileExists(custom))
            TabSheet5->setCustomMessage(toQStringList(readLineList(custom)));
    });
    guarded([this] {
        const std::string customEngines = dataPath("data/custeng.tlx");
        if (fileExists(customEngines))
            TabSheet2->addAvailableEngines(toQStringList(readLineList(customEngines)));
    });

    return true;
}

void MainWindow::checkDataVersion()
{
    BigIniFile file(dataPath("data/tlversion.tlx"));
    const std::string version = file.ReadString("VERSION", "version", "");
    if (version != kDataVersion)
        showMessage(this, QStringLiteral("You are running an outdated version of Tolvan.  Please visit Quendel at ") +
                              makerWeb() + QStringLiteral(" to get version ") + q(version) +
                              QStringLiteral(".  This message will display only once."));
    file.WriteString("VERSION", "version", kDataVersion);
    file.UpdateFile();
}

void MainWindow::firstTimeSignUp()
{
    if (!TerminationSignals::requested())
        showFirstTimeDialog(this, baseDir_);
}

QString MainWindow::makerWeb() const
{
    const std::string web = RemoteHosts(baseDir_).makerWeb();
    return q(web.empty() ? std::string(kFallbackMakerWeb) : web);
}

Settings MainWindow::currentSettings() const
{
    Settings st = settings_;
    TabSheet5->readSettings(st);
    st.forwardcheck = TabSheet4->forwardcheck->isChecked();
    return st;
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        guarded([this] { FormShow(); });
    }
}

void MainWindow::FormShow()
{
    if (TabSheet1->url1->currentText().isEmpty())
        TabSheet1->url1->setEditText(QStringLiteral("http://"));
    fieldsAtStart_.protocol = TabSheet1->url1->currentText().toStdString();
}

// ---------------------------------------------------------------- running

void MainWindow::PageControl1Change(int)
{
    const QString address = TabSheet1->fullAddress();
    if (!address.isEmpty() && address != QLatin1String("http://"))
        TabSheet3->sitestosubmitcb->setEditText(address);
    TabSheet3->showEngineCount(TabSheet3->ListBox3->count());
    TabSheet6->TabSheet6Enter();  // the saved addresses, when there are any
}

void MainWindow::PageControl1Enter() { TabSheet2->showAvailableCount(); }

void MainWindow::onFocusChanged(QWidget*, QWidget* now)
{
    // Only a move of the focus within this window enters a page: closing a
    // message box or dialog opened from a page gives the focus back to the
    // page it never left.
    if (!now || now->window() != this)
        return;
    QWidget* const old = lastFocus_;
    lastFocus_ = now;
    guarded([&] {
        if (isInside(now, PageControl1) && !isInside(old, PageControl1))
            PageControl1Enter();
        for (int i = 0; i < PageControl1->count(); ++i) {
            QWidget* page = PageControl1->widget(i);
            if (isInside(now, page) && !isInside(old, page))
                emit pageEntered(page);
        }
    });
}

void MainWindow::setSubmissionClientProxyServer(const QString& server) { http1Proxy_.server = server; }

void MainWindow::setSubmissionClientProxyPort(int port) { http1Proxy_.port = port; }

// ---------------------------------------------------------------- menu

void MainWindow::Exit1Click() { close(); }

void MainWindow::updatefilesClick() { TabSheet5->Updatebtn->click(); }

void MainWindow::BatchRun1Click() { openImportAutoRun(this); }

void MainWindow::Help2Click()
{
    const QString index = installHelpGuide();
    openInBrowserOrTell(QUrl::fromLocalFile(index).toString(), this);
}

void MainWindow::openMakerAddress(const QString& address)
{
    if (address.isEmpty()) {
        showMessage(this, QStringLiteral("This address is not configured in data/hosts.tlx (section Maker)."));
        return;
    }
    openInBrowserOrTell(address, this);
}

void MainWindow::TolvanHomePage1Click() { openMakerAddress(q(RemoteHosts(baseDir_).makerProduct())); }

void MainWindow::QuendelHomePage1Click() { openMakerAddress(q(RemoteHosts(baseDir_).makerWeb())); }

void MainWindow::About1Click()
{
    AboutDialog about(makerWeb(), this);
    connect(&about, &AboutDialog::debugRequested, this, [this] {
        debugCapture_ = true;
        emit debugModeRequested();
    });
    about.exec();
}

void MainWindow::IndexNow1Click()
{
    // The dialog works on the working profile: the key it makes or edits stays with the site.
    SiteProfile site = TabSheet1->profile();
    IndexNowDialog dialog(baseDir_, site, this);
    dialog.setProxy(submissionClientProxy().server.toStdString(), submissionClientProxy().port);
    // The endpoints are not in the engine index: the dialog puts the chosen one on the list to submit.
    dialog.onAddEngine = [this](const std::string& engine) {
        if (TabSheet2->isRunning())
            return false;
        QStringList names = TabSheet2->enginesToSubmit();
        if (!names.contains(q(engine)))
            TabSheet2->setEnginesToSubmit(names << q(engine));
        return true;
    };
    dialog.exec();
    TabSheet1->setIndexNowKey(site.indexNowKey, site.indexNowKeyLocation);
}

void MainWindow::SubmissionHistory1Click()
{
    auto* window = new SubmissionHistoryWindow(baseDir_, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

void MainWindow::RankTracker1Click()
{
    auto* window = new RankTrackerWindow(baseDir_, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    const Settings settings = currentSettings();
    window->setTimeoutSeconds(settings.timeout);
    int minMs = 2000, maxMs = 5000;
    if (parseRankPause(settings.rankpause, minMs, maxMs))
        window->setPause(minMs, maxMs);
    window->setKeySource([](const std::string& engine) { return RankApiKeys::instance().find(engine); });
    // The tracker's checks go through the proxy Submit! uses, as IndexNow's do.
    window->setProxy(submissionClientProxy().server.toStdString(), submissionClientProxy().port);
    connect(this, &MainWindow::closed, window, &RankTrackerWindow::stop);
    window->show();
}

// ---------------------------------------------------------------- shutdown

void MainWindow::requestTermination()
{
    closeModalWindows();
    // Queued, so that the handler whose dialog was just closed finishes first.
    QMetaObject::invokeMethod(this, [this] { Exit1Click(); }, Qt::QueuedConnection);
}

QStringList MainWindow::FormClose()
{
    QStringList errors;
    auto step = [&errors](auto&& body) {
        try {
            body();
        } catch (const std::exception& e) {
            errors << QString::fromUtf8(e.what());
        }
    };
    step([this] { ensureDirectory(dataPath("sites")); });
    step([this] {
        LineList lines;
        for (const QString& line : TabSheet5->customMessage())
            lines.push_back(line.toStdString());
        writeLineList(dataPath("sites/custmsg.tlx"), lines);
    });
    step([this] {
        if (settingsPath_.empty())
            settingsPath_ = defaultSettingsPath();
        saveSettings(settingsPath_, currentSettings());
    });
    step([this] {
        const SiteProfile fields = TabSheet1->profile();
        // Start-up never read the last site: an untouched, empty page must not
        // overwrite it.
        if (!lastFieldsLoaded_ && sameFields(fields, fieldsAtStart_))
            return;
        ProfileStore(baseDir_).writeLastFields(fields);
    });
    return errors;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (closed_) {
        event->accept();
        return;
    }
    const QStringList errors = FormClose();
    if (!errors.isEmpty()) {
        if (TerminationSignals::requested()) {
            for (const QString& error : errors)
                std::fprintf(stderr, "tolvan: %s\n", error.toLocal8Bit().constData());
        } else {
            QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kAppTitle),
                            QStringLiteral("Tolvan could not save everything:\n\n") + errors.join(QLatin1Char('\n')) +
                                QStringLiteral("\n\nClose Tolvan anyway? What could not be saved will be lost."),
                            QMessageBox::Yes | QMessageBox::No, this);
            box.setDefaultButton(QMessageBox::No);
            if (box.exec() != QMessageBox::Yes) {
                event->ignore();
                return;
            }
        }
    }
    closed_ = true;
    event->accept();
    emit closed();
}

}  // namespace tolvan::app

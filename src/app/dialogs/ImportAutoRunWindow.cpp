#include "app/dialogs/ImportAutoRunWindow.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "app/ErrorHandler.h"
#include "app/MainWindow.h"
#include "app/Messages.h"
#include "app/SubmitController.h"
#include "app/TextConversion.h"
#include "app/pages/EnginesPage.h"
#include "app/pages/SiteDataPage.h"
#include "app/pages/SubmitPage.h"
#include "util/TextCodec.h"

namespace tolvan::app {

namespace {

QPushButton* makeButton(const char* name, const QString& text, const QString& hint)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    return button;
}

}  // namespace

Tautobatch::Tautobatch(const QString& baseDir, AutoRunHooks hooks, QWidget* parent)
    : QDialog(parent), baseDir_(baseDir), hooks_(std::move(hooks))
{
    setObjectName(QStringLiteral("Tautobatch"));
    setWindowTitle(QStringLiteral("Import and AutoRun"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = new QLabel(QStringLiteral("Contents of Batch Directory:"));
    Label1->setObjectName(QStringLiteral("Label1"));
    files = new QListWidget;
    files->setObjectName(QStringLiteral("files"));
    files->setSelectionMode(QAbstractItemView::ExtendedSelection);

    allengines = new QRadioButton(QStringLiteral("Submit to All Engines"));
    allengines->setObjectName(QStringLiteral("allengines"));
    allengines->setToolTip(QStringLiteral("Submits selected items to ALL available engines"));
    majorengines = new QRadioButton(QStringLiteral("Submit to Major Engines Only"));
    majorengines->setObjectName(QStringLiteral("majorengines"));
    majorengines->setToolTip(QStringLiteral("Submits selected items to major engines"));
    majorengines->setChecked(true);

    Button1 = makeButton("Button1", QStringLiteral("Submit Selected"),
                         QStringLiteral("Start the submission process for selected sites"));
    Button2 = makeButton("Button2", QStringLiteral("Save Selected"),
                         QStringLiteral("Save selected items as Tolvan profiles"));
    Button4 = makeButton("Button4", QStringLiteral("Delete Selected"), QStringLiteral("Delete Selected Items"));
    Button3 = makeButton("Button3", QStringLiteral("Cancel"), QStringLiteral("Close this window"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(files, 1);
    layout->addWidget(allengines);
    layout->addWidget(majorengines);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Button1, Button2, Button4, Button3})
        buttons->addWidget(b);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &Tautobatch::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tautobatch::Button2Click);
    connect(Button4, &QPushButton::clicked, this, &Tautobatch::Button4Click);
    connect(Button3, &QPushButton::clicked, this, &Tautobatch::Button3Click);

    resize(420, 360);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Tautobatch::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())  // not when the window comes back from being minimised
        FormShow();
}

namespace {

// A file name as the list shows it. The name itself stays in the item as the
// bytes it is: one that is not UTF-8 is shown as Windows-1252 text.
QString displayName(const std::string& name)
{
    return fromUtf8(isValidUtf8(name) ? name : windows1252ToUtf8(name));
}

constexpr int kNameRole = Qt::UserRole;

}  // namespace

void Tautobatch::FormShow()
{
    guarded([&] {
        files->clear();
        for (const std::string& name : BatchImport(toUtf8(baseDir_)).files()) {
            auto* item = new QListWidgetItem(displayName(name), files);
            item->setData(kNameRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
        }
    });
}

std::vector<std::string> Tautobatch::selectedFiles() const
{
    std::vector<std::string> out;
    for (int i = 0; i < files->count(); ++i) {
        const QListWidgetItem* item = files->item(i);
        if (!item->isSelected())
            continue;
        const QVariant name = item->data(kNameRole);
        out.push_back(name.isValid() ? name.toByteArray().toStdString() : toUtf8(item->text()));
    }
    return out;
}

void Tautobatch::reportProblems(const QString& what, const std::vector<BatchFileProblem>& problems)
{
    QStringList lines;
    for (const BatchFileProblem& p : problems)
        lines << displayName(p.file) + QStringLiteral(": ") + fromUtf8(p.reason);
    showError(this, what + QStringLiteral("\n\n") + lines.join(QLatin1Char('\n')));
}

bool Tautobatch::importSelected(std::optional<ImportedSite>& last, std::vector<std::string>& handled)
{
    std::vector<BatchFileProblem> problems;
    const bool ok = guarded([&] {
        const std::vector<std::string> selected = selectedFiles();
        last = BatchImport(toUtf8(baseDir_)).importFiles(selected, hooks_.workingProfile(), &problems);
        if (last)
            hooks_.setWorkingProfile(last->site);
        for (const std::string& file : selected)
            if (std::none_of(problems.begin(), problems.end(),
                             [&](const BatchFileProblem& p) { return p.file == file; }))
                handled.push_back(file);
    });
    if (!problems.empty())
        reportProblems(QStringLiteral("These files could not be imported; the others were:"), problems);
    return ok && problems.empty();
}

void Tautobatch::Button2Click()
{
    std::optional<ImportedSite> last;
    std::vector<std::string> handled;
    if (importSelected(last, handled))
        showMessage(this, QString::fromLatin1(kImportSavedMessage));
}

void Tautobatch::Button1Click()
{
    std::optional<ImportedSite> last;
    std::vector<std::string> handled;
    if (!importSelected(last, handled) && handled.empty())
        return;
    // While a run goes its lists are fixed and Submit! cannot be pressed: the
    // files are saved as profiles and nothing else happens.
    if (hooks_.runGoing && hooks_.runGoing())
        return;
    const bool added = guarded([&] {
        // The sites go in only when the last selected file named its profile.
        if (last && !last->profileName.empty()) {
            QStringList sites = hooks_.sitesToSubmit();
            sites << fromLines(BatchImport(toUtf8(baseDir_)).addresses(handled));
            hooks_.setSitesToSubmit(sites);
        }
        if (majorengines->isChecked())
            hooks_.pressMajorEngines();
        else if (allengines->isChecked())
            hooks_.pressSelectAllEngines();
        hooks_.showSubmitPage();
    });
    if (!added)
        return;
    // The run may close this window as it starts; it is released only after
    // this handler, whose buttons are still in use, is done.
    QPointer<Tautobatch> self(this);
    pressingSubmit_ = true;
    hooks_.pressSubmit(this);
    if (!self)
        return;
    pressingSubmit_ = false;
    if (closedForRun_)
        deleteLater();
}

void Tautobatch::Button4Click()
{
    std::vector<BatchFileProblem> problems;
    const bool ok = guarded([&] { problems = BatchImport(toUtf8(baseDir_)).deleteFiles(selectedFiles()); });
    FormShow();
    // A file that could not be deleted is named; no "done" after it.
    if (!problems.empty())
        reportProblems(QStringLiteral("These files could not be deleted; the others were:"), problems);
    else if (ok)
        showMessage(this, QString::fromLatin1(kFilesDeletedMessage));
}

void Tautobatch::Button3Click() { close(); }

void Tautobatch::closeForRun()
{
    if (!pressingSubmit_) {
        close();  // WA_DeleteOnClose
        return;
    }
    hide();
    closedForRun_ = true;
}

AutoRunHooks autoRunHooks(MainWindow* window)
{
    AutoRunHooks hooks;
    hooks.workingProfile = [window] { return window->TabSheet1->profile(); };
    hooks.setWorkingProfile = [window](const SiteProfile& site) { window->TabSheet1->setProfile(site, false); };
    hooks.sitesToSubmit = [window] { return window->TabSheet3->sitesToSubmit(); };
    hooks.setSitesToSubmit = [window](const QStringList& sites) { window->TabSheet3->setSitesToSubmit(sites); };
    hooks.pressMajorEngines = [window] { window->TabSheet2->BitBtn5Click(); };
    hooks.pressSelectAllEngines = [window] { window->TabSheet2->Button2Click(); };
    hooks.runGoing = [window] { return window->submitController()->running(); };
    hooks.showSubmitPage = [window] { window->PageControl1->setCurrentWidget(window->TabSheet3); };
    // The run closes this window as it starts; with no sites to submit it
    // stops at its message and the window stays.
    hooks.pressSubmit = [window](Tautobatch* autoBatch) { window->submitController()->autoBatchSubmit(autoBatch); };
    return hooks;
}

Tautobatch* openImportAutoRun(MainWindow* window)
{
    auto* autoBatch = new Tautobatch(window->baseDirQ(), autoRunHooks(window), window);
    autoBatch->show();
    return autoBatch;
}

}  // namespace tolvan::app

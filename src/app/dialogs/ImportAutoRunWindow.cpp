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

#include "app/ErrorHandler.h"
#include "app/MainWindow.h"
#include "app/Messages.h"
#include "app/SubmitController.h"
#include "app/TextConversion.h"
#include "app/pages/EnginesPage.h"
#include "app/pages/SiteDataPage.h"
#include "app/pages/SubmitPage.h"

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

void Tautobatch::FormShow()
{
    guarded([&] {
        files->clear();
        files->addItems(fromLines(BatchImport(toUtf8(baseDir_)).files()));
    });
}

std::vector<std::string> Tautobatch::selectedFiles() const
{
    std::vector<std::string> out;
    for (int i = 0; i < files->count(); ++i)
        if (files->item(i)->isSelected())
            out.push_back(toUtf8(files->item(i)->text()));
    return out;
}

bool Tautobatch::importSelected(std::optional<ImportedSite>& last)
{
    return guarded([&] {
        last = BatchImport(toUtf8(baseDir_)).importFiles(selectedFiles(), hooks_.workingProfile());
        if (last)
            hooks_.setWorkingProfile(last->site);
    });
}

void Tautobatch::Button2Click()
{
    std::optional<ImportedSite> last;
    if (importSelected(last))
        showMessage(this, QString::fromLatin1(kImportSavedMessage));
}

void Tautobatch::Button1Click()
{
    std::optional<ImportedSite> last;
    if (!importSelected(last))
        return;
    // While a run goes its lists are fixed and Submit! cannot be pressed: the
    // files are saved as profiles and nothing else happens.
    if (hooks_.runGoing && hooks_.runGoing())
        return;
    const bool added = guarded([&] {
        // The sites go in only when the last selected file named its profile.
        if (last && !last->profileName.empty()) {
            QStringList sites = hooks_.sitesToSubmit();
            sites << fromLines(BatchImport(toUtf8(baseDir_)).addresses(selectedFiles()));
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
    const bool ok = guarded([&] { BatchImport(toUtf8(baseDir_)).deleteFiles(selectedFiles()); });
    FormShow();
    // A file that could not be deleted has been reported; no "done" after it.
    if (ok)
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

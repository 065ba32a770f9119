#include "app/pages/SubmitPage.h"

#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppInfo.h"
#include "engines/EngineSelection.h"
#include "widgets/BlinkLabel.h"
#include "widgets/CaptionLabel.h"
#include "widgets/LedLamp.h"
#include "widgets/LedNumber.h"
#include "widgets/SiteAddresses.h"
#include "widgets/UniformRows.h"

namespace tolvan::app {

using widgets::CaptionLabel;

const QString SubmitPage::kPlaceholder = QStringLiteral("..................................................");

namespace {

template <typename T>
T* named(T* w, const char* name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption)
{
    return named(new QPushButton(caption, parent), name);
}

widgets::LedNumber* makeLed(QWidget* parent, const char* name, const char* accessibleName)
{
    auto* led = named(new widgets::LedNumber(parent, 3), name);
    led->setAccessibleName(QString::fromLatin1(accessibleName));
    return led;
}

QLabel* caption(QWidget* parent, const QString& text)
{
    auto* l = new CaptionLabel(text, parent);
    l->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return l;
}

QLabel* valueLabel(QWidget* parent, const char* name)
{
    auto* l = named(new CaptionLabel(SubmitPage::kPlaceholder, parent), name);
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    l->setMinimumWidth(60);
    return l;
}

}  // namespace

SubmitPage::SubmitPage(QWidget* parent) : QWidget(parent), baseDir_(QDir::currentPath())
{
    // Sites to submit
    sitestosubmitl = named(caption(this, QStringLiteral("Sites to Submit:")), "sitestosubmitl");
    sitestosubmitcb = named(new QComboBox(this), "sitestosubmitcb");
    sitestosubmitcb->setEditable(true);
    sitestosubmitcb->setInsertPolicy(QComboBox::NoInsert);
    // Addresses compare exactly: completing "HTTP://A/" to a saved "http://a/"
    // would add a different site than the one typed.
    sitestosubmitcb->completer()->setCaseSensitivity(Qt::CaseSensitive);
    sitestosubmitcb->setToolTip(QStringLiteral("Select an item to add to the site list"));
    sitestosubmitcb->installEventFilter(this);
    sitestosubmitcb->lineEdit()->installEventFilter(this);
    siestosubmitaddb = makeButton(this, "siestosubmitaddb", QStringLiteral("Add"));
    sitestosubmitRemoveb = makeButton(this, "sitestosubmitRemoveb", QStringLiteral("Remove"));
    BitBtn9 = makeButton(this, "BitBtn9", QStringLiteral("Load List"));
    BitBtn10 = makeButton(this, "BitBtn10", QStringLiteral("Save List"));
    ListBox4 = named(new QListWidget(this), "ListBox4");
    ListBox4->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox4->setToolTip(QStringLiteral("List of sites that will be submitted."));

    auto* sites = new QVBoxLayout;
    sites->setSpacing(4);
    sites->addWidget(sitestosubmitl);
    sites->addWidget(sitestosubmitcb);
    auto* addRemove = new QHBoxLayout;
    addRemove->addWidget(siestosubmitaddb);
    addRemove->addWidget(sitestosubmitRemoveb);
    sites->addLayout(addRemove);
    sites->addWidget(ListBox4, 1);
    auto* loadSave = new QHBoxLayout;
    loadSave->addWidget(BitBtn9);
    loadSave->addWidget(BitBtn10);
    sites->addLayout(loadSave);

    // Engines still to do
    Label2 = named(caption(this, QStringLiteral("Engines to Submit:")), "Label2");
    ledn1 = makeLed(this, "ledn1", "Engines to Submit");
    ListBox3 = named(new QListWidget(this), "ListBox3");
    ListBox3->setSelectionMode(QAbstractItemView::NoSelection);
    auto* engines = new QVBoxLayout;
    engines->setSpacing(4);
    auto* enginesHead = new QHBoxLayout;
    enginesHead->addWidget(Label2, 1);
    enginesHead->addWidget(ledn1);
    engines->addLayout(enginesHead);
    engines->addWidget(ListBox3, 1);

    // Outcomes of the current site
    successlist = named(new QListWidget(this), "successlist");
    failedlist = named(new QListWidget(this), "failedlist");
    // Lists that may hold thousands of engines lay out without measuring each one.
    for (QListWidget* l : {ListBox4, ListBox3, successlist, failedlist})
        widgets::UniformRows::install(l);
    for (QListWidget* l : {successlist, failedlist})
        l->setSelectionMode(QAbstractItemView::NoSelection);
    ledn2 = makeLed(this, "ledn2", "Successful");
    ledn3 = makeLed(this, "ledn3", "Failed");
    auto* outcomes = new QGridLayout;
    outcomes->setSpacing(4);
    outcomes->addWidget(caption(this, QStringLiteral("Successful:")), 0, 0);
    outcomes->addWidget(ledn2, 0, 1);
    outcomes->addWidget(successlist, 1, 0, 1, 2);
    outcomes->addWidget(caption(this, QStringLiteral("Failed:")), 0, 2);
    outcomes->addWidget(ledn3, 0, 3);
    outcomes->addWidget(failedlist, 1, 2, 1, 2);
    outcomes->setRowStretch(1, 1);

    auto* top = new QHBoxLayout;
    top->setSpacing(10);
    top->addLayout(sites, 5);
    top->addLayout(engines, 4);
    top->addLayout(outcomes, 6);

    // Progress display
    statusl = named(new widgets::BlinkLabel(this), "statusl");
    statusl->setText(kPlaceholder);
    statusl->setFrameShape(QFrame::StyledPanel);
    statusl->setFrameShadow(QFrame::Sunken);
    statusl->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    beingsubmittedl = valueLabel(this, "beingsubmittedl");
    beingsubmittedl->setMouseTracking(true);
    beingsubmittedl->installEventFilter(this);
    currentenginel = valueLabel(this, "currentenginel");
    Led = named(new widgets::LedLamp(this), "Led");
    Led->setAccessibleName(QStringLiteral("Submission status lamp"));
    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar2 = named(new QProgressBar(this), "ProgressBar2");
    for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
        bar->setRange(0, 0);
        bar->setMaximum(1);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setFixedHeight(16);
    }
    ledn6 = makeLed(this, "ledn6", "Engines Completed");
    ledn7 = makeLed(this, "ledn7", "Engines Remaining");

    auto* progress = new QGridLayout;
    progress->setHorizontalSpacing(6);
    progress->setVerticalSpacing(3);
    progress->addWidget(caption(this, QStringLiteral("Status:")), 0, 0);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(statusl, 1);
    statusRow->addWidget(Led);
    progress->addLayout(statusRow, 0, 1, 1, 2);
    progress->addWidget(caption(this, QStringLiteral("Submitting:")), 1, 0);
    progress->addWidget(beingsubmittedl, 1, 1, 1, 2);
    progress->addWidget(caption(this, QStringLiteral("Current Engine:")), 2, 0);
    progress->addWidget(currentenginel, 2, 1, 1, 2);
    progress->addWidget(caption(this, QStringLiteral("Engines Completed:")), 3, 0);
    progress->addWidget(ProgressBar1, 3, 1);
    progress->addWidget(ledn6, 3, 2);
    progress->addWidget(caption(this, QStringLiteral("Engines Remaining:")), 4, 0);
    progress->addWidget(ProgressBar2, 4, 1);
    progress->addWidget(ledn7, 4, 2);
    progress->setColumnStretch(1, 1);

    // Counts, run control and reports
    ledn4 = makeLed(this, "ledn4", "Success Count");
    ledn5 = makeLed(this, "ledn5", "Failure Count");
    BitBtn1 = makeButton(this, "BitBtn1", QStringLiteral("Submit!"));
    BitBtn2 = makeButton(this, "BitBtn2", QStringLiteral("Cancel"));
    pausebtn = makeButton(this, "pausebtn", QStringLiteral("Pause"));
    skipbtn = makeButton(this, "skipbtn", QStringLiteral("Skip"));
    BitBtn14 = makeButton(this, "BitBtn14", QStringLiteral("HTML"));
    BitBtn13 = makeButton(this, "BitBtn13", QStringLiteral("Text"));
    BitBtn3 = makeButton(this, "BitBtn3", QStringLiteral("E-Mail"));
    QFont bold = BitBtn1->font();
    bold.setBold(true);
    BitBtn1->setFont(bold);
    // Run control is enabled only during a run; the reports once a run has ended.
    for (QPushButton* b : {BitBtn2, pausebtn, skipbtn, BitBtn14, BitBtn13, BitBtn3})
        b->setEnabled(false);

    auto* counts = new QGridLayout;
    counts->setSpacing(4);
    counts->addWidget(caption(this, QStringLiteral("Success Count:")), 0, 0);
    counts->addWidget(ledn4, 0, 1);
    counts->addWidget(caption(this, QStringLiteral("Faliure Count:")), 1, 0);
    counts->addWidget(ledn5, 1, 1);

    auto* control = new QGridLayout;
    control->setSpacing(4);
    control->addWidget(BitBtn1, 0, 0, 1, 3);
    control->addWidget(pausebtn, 1, 0);
    control->addWidget(skipbtn, 1, 1);
    control->addWidget(BitBtn2, 1, 2);
    auto* reports = new QGroupBox(QStringLiteral("Reports"), this);
    auto* reportRow = new QHBoxLayout(reports);
    reportRow->setContentsMargins(4, 2, 4, 4);
    reportRow->setSpacing(4);
    reportRow->addWidget(BitBtn14);
    reportRow->addWidget(BitBtn13);
    reportRow->addWidget(BitBtn3);
    control->addWidget(reports, 2, 0, 1, 3);

    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    right->addLayout(counts);
    right->addLayout(control);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(12);
    bottom->addLayout(progress, 3);
    bottom->addLayout(right, 2);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(8);
    page->addLayout(top, 1);
    page->addLayout(bottom);

    connect(siestosubmitaddb, &QPushButton::clicked, this, &SubmitPage::siestosubmitaddbClick);
    connect(sitestosubmitRemoveb, &QPushButton::clicked, this, &SubmitPage::sitestosubmitRemovebClick);
    connect(BitBtn9, &QPushButton::clicked, this, &SubmitPage::BitBtn9Click);
    connect(BitBtn10, &QPushButton::clicked, this, &SubmitPage::BitBtn10Click);
}

void SubmitPage::setBaseDir(const QString& dir) { baseDir_ = dir; }

QString SubmitPage::sitesPath(const QString& file) const
{
    return QDir(baseDir_).filePath(QStringLiteral("sites/") + file);
}

void SubmitPage::insertSortedEntry(QListWidget* list, const QString& entry)
{
    const std::string key = entry.toStdString();
    // After every entry that sorts before or equal to it.
    int row = list->count();
    for (int i = 0; i < list->count(); ++i) {
        if (compareListEntries(key, list->item(i)->text().toStdString()) < 0) {
            row = i;
            break;
        }
    }
    list->insertItem(row, entry);
}

QStringList SubmitPage::sitesToSubmit() const
{
    QStringList out;
    for (int i = 0; i < ListBox4->count(); ++i)
        out << ListBox4->item(i)->text();
    return out;
}

void SubmitPage::setSitesToSubmit(const QStringList& sites)
{
    ListBox4->clear();
    for (const QString& s : sites)
        insertSortedEntry(ListBox4, s);
}

void SubmitPage::addSite(const QString& address)
{
    if (address.isEmpty() || !ListBox4->findItems(address, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
        return;
    insertSortedEntry(ListBox4, address);
}

void SubmitPage::addCurrentSite(const QString& fullAddress)
{
    if (running_ || fullAddress == QLatin1String("http://"))
        return;
    addSite(fullAddress);
}

void SubmitPage::copySiteToChooser(const QString& fullAddress)
{
    if (!fullAddress.isEmpty() && fullAddress != QLatin1String("http://"))
        sitestosubmitcb->setEditText(fullAddress);
}

void SubmitPage::setRunning(bool running)
{
    running_ = running;
    for (QPushButton* b : {BitBtn1, BitBtn14, BitBtn13, BitBtn3, siestosubmitaddb, sitestosubmitRemoveb, BitBtn9})
        b->setEnabled(!running);
    for (QPushButton* b : {BitBtn2, pausebtn, skipbtn})
        b->setEnabled(running);
}

void SubmitPage::setEngineCopy(const QStringList& engines)
{
    ListBox3->clear();
    ListBox3->addItems(engines);
}

void SubmitPage::showEngineCount(int count)
{
    Label2->setText(QStringLiteral("Engines to Submit:"));
    ledn1->setValue(count);
}

void SubmitPage::sitestosubmitcbEnter() { widgets::loadSavedAddresses(sitestosubmitcb, baseDir_); }

void SubmitPage::siestosubmitaddbClick() { addSite(sitestosubmitcb->currentText()); }

void SubmitPage::sitestosubmitRemovebClick()
{
    QListWidgetItem* item = ListBox4->currentItem();
    if (!item || !item->isSelected()) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Attention!"),
                        QStringLiteral("You must first select an entry."), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    delete ListBox4->takeItem(ListBox4->row(item));
}

void SubmitPage::BitBtn9Click()
{
    if (!QFileInfo::exists(sitesPath(QStringLiteral("tlxbatch.tlx")))) {
        QMessageBox::information(this, QString::fromLatin1(kAppTitle),
                                 QStringLiteral("You cannot load a batch list until you save one."));
        return;
    }
    emit loadBatchListRequested();
}

void SubmitPage::BitBtn10Click()
{
    if (ListBox4->count() == 0) {
        QMessageBox::information(this, QString::fromLatin1(kAppTitle),
                                 QStringLiteral("Before saving a batch list, you must add items."));
        return;
    }
    emit saveBatchListRequested();
}

void SubmitPage::beingsubmittedlMouseMove() { beingsubmittedl->setToolTip(beingsubmittedl->text()); }

bool SubmitPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn
        && (watched == sitestosubmitcb || watched == sitestosubmitcb->lineEdit())) {
        sitestosubmitcbEnter();
    } else if (watched == beingsubmittedl && event->type() == QEvent::MouseMove) {
        beingsubmittedlMouseMove();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tolvan::app

#include "app/pages/EnginesPage.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/AppInfo.h"
#include "app/dialogs/EngineListDialogs.h"
#include "app/pages/SubmitPage.h"
#include "widgets/CaptionLabel.h"
#include "widgets/UniformRows.h"

namespace tolvan::app {

using widgets::CaptionLabel;

namespace {

NameList toNames(const QStringList& list)
{
    NameList names;
    names.reserve(static_cast<std::size_t>(list.size()));
    for (const QString& s : list)
        names.push_back(s.toStdString());
    return names;
}

QStringList toStrings(const NameList& names)
{
    QStringList list;
    list.reserve(static_cast<qsizetype>(names.size()));
    for (const std::string& s : names)
        list << QString::fromStdString(s);
    return list;
}

QStringList entries(const QListWidget* list)
{
    QStringList out;
    out.reserve(list->count());
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    return b;
}

}  // namespace

EnginesPage::EnginesPage(QWidget* parent) : QWidget(parent), baseDir_(QDir::currentPath())
{
    label1 = new CaptionLabel(QStringLiteral("Available Engines:"), this);
    label1->setObjectName(QStringLiteral("label1"));
    Label3 = new CaptionLabel(QStringLiteral("Engines to Submit"), this);
    Label3->setObjectName(QStringLiteral("Label3"));

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setToolTip(QStringLiteral("Listing of all Available Engines and Directories."));

    ListBox2 = new QListWidget(this);
    ListBox2->setObjectName(QStringLiteral("ListBox2"));
    ListBox2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox2->setToolTip(QStringLiteral(
        "Listing of all engines you have selected for submission.  To deselect an engine, double click on it."));

    // Thousands of engines lay out without measuring each one.
    widgets::UniformRows::install(ListBox1);
    widgets::UniformRows::install(ListBox2);

    Button1 = makeButton(this, "Button1", QStringLiteral("Move Selected"),
                         QStringLiteral("Moves selected Available engines to the Engines to submit window."));
    Button2 = makeButton(this, "Button2", QStringLiteral("Select All Engines"),
                         QStringLiteral("Selects ALL available engines"));
    BitBtn5 = makeButton(this, "BitBtn5", QStringLiteral("Major Engines"),
                         QStringLiteral("Selects only major engines"));
    Button3 = makeButton(this, "Button3", QStringLiteral("Clear All"),
                         QStringLiteral("Clears Engines to submit window."));
    TransparentButton3 = makeButton(this, "TransparentButton3", QStringLiteral("Load"),
                                    QStringLiteral("Load an engine list you have preciously saved."));
    TransparentButton4 = makeButton(
        this, "TransparentButton4", QStringLiteral("Save"),
        QStringLiteral("After you have selected engines you wish to submit to, move them to the Engines to "
                       "submit list and click here to save that engine list for future use."));
    for (QPushButton* b : {Button1, Button2, BitBtn5, Button3, TransparentButton3, TransparentButton4})
        b->setMinimumWidth(130);

    auto* buttons = new QVBoxLayout;
    buttons->addSpacing(label1->sizeHint().height());
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addSpacing(12);
    buttons->addWidget(Button2);
    buttons->addWidget(BitBtn5);
    buttons->addWidget(Button3);
    buttons->addSpacing(12);
    auto* listsBox = new CaptionLabel(QStringLiteral("Engine Lists:"), this);
    listsBox->setAlignment(Qt::AlignCenter);
    buttons->addWidget(listsBox);
    auto* loadSave = new QHBoxLayout;
    loadSave->addWidget(TransparentButton3);
    loadSave->addWidget(TransparentButton4);
    TransparentButton3->setMinimumWidth(0);
    TransparentButton4->setMinimumWidth(0);
    buttons->addLayout(loadSave);
    buttons->addStretch(1);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setHorizontalSpacing(12);
    grid->addWidget(label1, 0, 0);
    grid->addWidget(ListBox1, 1, 0);
    grid->addLayout(buttons, 0, 1, 2, 1);
    grid->addWidget(Label3, 0, 2);
    grid->addWidget(ListBox2, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);

    connect(ListBox1, &QListWidget::itemSelectionChanged, this, &EnginesPage::ListBox1Click);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &EnginesPage::ListBox1DblClick);
    connect(ListBox2, &QListWidget::itemDoubleClicked, this, &EnginesPage::ListBox2DblClick);
    connect(Button1, &QPushButton::clicked, this, &EnginesPage::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &EnginesPage::Button2Click);
    connect(BitBtn5, &QPushButton::clicked, this, &EnginesPage::BitBtn5Click);
    connect(Button3, &QPushButton::clicked, this, &EnginesPage::Button3Click);
    connect(TransparentButton3, &QPushButton::clicked, this, &EnginesPage::TransparentButton3Click);
    connect(TransparentButton4, &QPushButton::clicked, this, &EnginesPage::TransparentButton4Click);
}

void EnginesPage::setBaseDir(const QString& dir) { baseDir_ = dir; }

QString EnginesPage::sitesPath(const QString& file) const
{
    return QDir(baseDir_).filePath(QStringLiteral("sites/") + file);
}

void EnginesPage::setAvailableEngines(const QStringList& names)
{
    NameList sorted = toNames(names);
    sortListEntries(sorted);
    const QSignalBlocker block(ListBox1);
    ListBox1->clear();
    ListBox1->addItems(toStrings(sorted));
}

void EnginesPage::addAvailableEngines(const QStringList& names)
{
    NameList current = toNames(entries(ListBox1));
    const QSignalBlocker block(ListBox1);
    for (const QString& name : names) {
        const std::size_t at = insertSorted(current, name.toStdString());
        ListBox1->insertItem(static_cast<int>(at), name);
    }
}

void EnginesPage::showAvailableCount()
{
    label1->setText(QString::fromStdString(availableEnginesCaption(static_cast<std::size_t>(ListBox1->count()))));
}

QStringList EnginesPage::enginesToSubmit() const { return toStrings(selection_.engines()); }

void EnginesPage::setEnginesToSubmit(const QStringList& names)
{
    selection_.replace(toNames(names));
    showSelection();
}

void EnginesPage::showSelection()
{
    const QStringList list = enginesToSubmit();
    ListBox2->clear();
    ListBox2->addItems(list);
    emit enginesToSubmitChanged(list);
    Label3->setText(QString::fromStdString(engineCountCaption(selection_.size())));
}

void EnginesPage::showCountOnSubmitPage() { emit engineCountShown(static_cast<int>(selection_.size())); }

void EnginesPage::ListBox1Click()
{
    const auto selected = static_cast<std::size_t>(ListBox1->selectedItems().size());
    label1->setText(QString::fromStdString(
        selectionCountCaption(selected, static_cast<std::size_t>(ListBox1->count()))));
}

void EnginesPage::moveSelected()
{
    NameList picked;
    for (int i = 0; i < ListBox1->count(); ++i) {
        if (ListBox1->item(i)->isSelected())
            picked.push_back(ListBox1->item(i)->text().toStdString());
    }
    selection_.addMissing(picked);
    showSelection();
}

void EnginesPage::setRunning(bool running)
{
    running_ = running;
    for (QPushButton* b : {Button1, Button2, BitBtn5, Button3, TransparentButton3})
        b->setEnabled(!running);
}

void EnginesPage::Button1Click() { moveSelected(); }

void EnginesPage::ListBox1DblClick()
{
    if (!running_)
        moveSelected();
}

void EnginesPage::Button2Click()
{
    selection_.replace(toNames(entries(ListBox1)));
    showSelection();
    showCountOnSubmitPage();
    emit submitPageRequested();
}

void EnginesPage::BitBtn5Click()
{
    selection_.selectMajor();
    showSelection();
    showCountOnSubmitPage();
}

void EnginesPage::Button3Click()
{
    // Labels and the LED keep their numbers until the next change.
    selection_.clear();
    ListBox2->clear();
    emit enginesToSubmitChanged({});
}

void EnginesPage::ListBox2DblClick()
{
    const int row = ListBox2->currentRow();
    if (running_ || row < 0 || !selection_.removeAt(static_cast<std::size_t>(row)))
        return;
    showSelection();
}

void EnginesPage::TransparentButton3Click()
{
    if (!QFileInfo::exists(sitesPath(QStringLiteral("englist.tlx")))) {
        QMessageBox::information(this, QString::fromLatin1(kAppTitle),
                                 QStringLiteral("You cannot load an Engine List until you save one."));
        return;
    }
    if (const std::optional<QStringList> loaded = loadEngineListDialog(this, baseDir_))
        setEnginesToSubmit(*loaded);
}

void EnginesPage::TransparentButton4Click()
{
    if (selection_.empty()) {
        QMessageBox::information(
            this, QString::fromLatin1(kAppTitle),
            QStringLiteral("You must select engines and move them to the engines to submit list before saving.  "
                           "Whichever engines are in the Engines to Submit list will be saved."));
        return;
    }
    saveEngineListDialog(this, baseDir_, enginesToSubmit());
}

void linkEngineLists(EnginesPage* engines, SubmitPage* submit)
{
    QObject::connect(engines, &EnginesPage::enginesToSubmitChanged, submit, &SubmitPage::setEngineCopy);
    QObject::connect(engines, &EnginesPage::engineCountShown, submit, &SubmitPage::showEngineCount);
}

}  // namespace tolvan::app

#include "app/dialogs/BatchListDialogs.h"

#include <QLabel>
#include <QPushButton>

#include "app/ErrorHandler.h"
#include "app/Messages.h"
#include "app/dialogs/DialogLayout.h"
#include "app/TextConversion.h"
#include "app/dialogs/SimpleComboBox.h"
#include "app/pages/SubmitPage.h"
#include "profiles/BatchLists.h"

namespace tolvan::app {

Tsavebatch::Tsavebatch(const QString& baseDir, const QStringList& sites, QWidget* parent)
    : QDialog(parent), baseDir_(baseDir), sites_(sites)
{
    setObjectName(QStringLiteral("Tsavebatch"));
    const NameDialogParts parts = buildNameDialog(this, QStringLiteral("Save Batch List"),
                                                  QStringLiteral("Please select a name for this batch list:"), "profiles");
    Label1 = parts.prompt;
    profiles = parts.nameBox;
    BitBtn1 = parts.ok;
    BitBtn2 = parts.cancel;
    connect(BitBtn1, &QPushButton::clicked, this, &Tsavebatch::BitBtn1Click);
    FormShow();
}

void Tsavebatch::FormShow()
{
    guarded([&] {
        const BatchListFiles files(toUtf8(baseDir_));
        if (files.indexExists())
            profiles->setItems(fromLines(files.readNames()));
    });
}

void Tsavebatch::BitBtn1Click()
{
    guarded([&] {
        std::vector<std::string> names = toLines(profiles->items());
        const std::string refusal = BatchListFiles(toUtf8(baseDir_)).save(toUtf8(profiles->text()), names, toLines(sites_));
        if (!refusal.empty()) {
            showMessage(this, fromUtf8(refusal));
            return;
        }
        profiles->setItems(fromLines(names));
        accept();
    });
}

Tloadbatch::Tloadbatch(const QString& baseDir, QWidget* parent) : QDialog(parent), baseDir_(baseDir)
{
    setObjectName(QStringLiteral("Tloadbatch"));
    auto* remove = new QPushButton(QStringLiteral("Delete"));
    remove->setObjectName(QStringLiteral("deletesite"));
    const NameDialogParts parts = buildNameDialog(this, QStringLiteral("Load Batch List"),
                                                  QStringLiteral("Please select a batch list to load:"), "toloadlist",
                                                  {remove});
    Label1 = parts.prompt;
    toloadlist = parts.nameBox;
    deletesite = remove;
    BitBtn1 = parts.ok;
    BitBtn2 = parts.cancel;
    connect(BitBtn1, &QPushButton::clicked, this, &Tloadbatch::BitBtn1Click);
    connect(toloadlist, &SimpleComboBox::doubleClicked, this, &Tloadbatch::toloadlistDblClick);
    connect(deletesite, &QPushButton::clicked, this, &Tloadbatch::deletesiteClick);
    FormShow();
}

void Tloadbatch::FormShow()
{
    guarded([&] {
        const BatchListFiles files(toUtf8(baseDir_));
        if (files.indexExists())
            toloadlist->setItems(fromLines(files.readNames()));
    });
}

void Tloadbatch::BitBtn1Click()
{
    const bool ok =
        guarded([&] { loaded_ = fromLines(BatchListFiles(toUtf8(baseDir_)).load(toUtf8(toloadlist->text()))); });
    if (ok)
        accept();
}

void Tloadbatch::deletesiteClick()
{
    guarded([&] {
        std::vector<std::string> names = toLines(toloadlist->items());
        const std::string refusal = BatchListFiles(toUtf8(baseDir_)).remove(toUtf8(toloadlist->text()), names);
        if (!refusal.empty()) {
            showMessage(this, fromUtf8(refusal));
            return;
        }
        toloadlist->setItems(fromLines(names));
        toloadlist->setText(QString());
    });
}

bool saveBatchListDialog(QWidget* parent, const QString& baseDir, const QStringList& sites)
{
    Tsavebatch dialog(baseDir, sites, parent);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<QStringList> loadBatchListDialog(QWidget* parent, const QString& baseDir)
{
    Tloadbatch dialog(baseDir, parent);
    dialog.exec();
    return dialog.loadedSites();
}

void connectBatchListDialogs(SubmitPage* page)
{
    QObject::connect(page, &SubmitPage::saveBatchListRequested, page,
                     [page] { saveBatchListDialog(page, page->baseDir(), page->sitesToSubmit()); });
    QObject::connect(page, &SubmitPage::loadBatchListRequested, page, [page] {
        if (const auto sites = loadBatchListDialog(page, page->baseDir()))
            page->setSitesToSubmit(*sites);
    });
}

}  // namespace tolvan::app

#include "app/dialogs/SiteProfileDialogs.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "app/ErrorHandler.h"
#include "app/pages/SiteDataPage.h"
#include "app/dialogs/DialogLayout.h"
#include "app/TextConversion.h"
#include "app/dialogs/SimpleComboBox.h"
#include "profiles/ProfileStore.h"
#include "util/Files.h"

namespace tolvan::app {

namespace {

QStringList listEntries(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

void setListEntries(QListWidget* list, const QStringList& entries)
{
    list->clear();
    list->addItems(entries);
}

QListWidget* hiddenList(QDialog* dialog, const char* name)
{
    auto* list = new QListWidget(dialog);
    list->setObjectName(QString::fromLatin1(name));
    list->hide();
    return list;
}

// Fills a name list and an address list from the index files that exist.
void fillFromIndexes(const QString& baseDir, SimpleComboBox* names, QListWidget* addresses)
{
    const ProfileStore store(toUtf8(baseDir));
    if (fileExists(store.addressesPath()))
        setListEntries(addresses, fromLines(store.readAddresses()));
    if (fileExists(store.namesPath()))
        names->setItems(fromLines(store.readNames()));
}

}  // namespace

Tsitesave::Tsitesave(const QString& baseDir, const SiteProfile& site, QWidget* parent)
    : QDialog(parent), baseDir_(baseDir), site_(site)
{
    setObjectName(QStringLiteral("Tsitesave"));
    const NameDialogParts parts = buildNameDialog(this, QStringLiteral("Save Site Profile"),
                                                  QStringLiteral("Enter a name for this site profile"), "profiles");
    Label1 = parts.prompt;
    profiles = parts.nameBox;
    BitBtn1 = parts.ok;
    BitBtn2 = parts.cancel;
    webtext = hiddenList(this, "webtext");
    connect(BitBtn1, &QPushButton::clicked, this, &Tsitesave::BitBtn1Click);
    connect(profiles, &SimpleComboBox::doubleClicked, this, &Tsitesave::profilesDblClick);
    FormShow();
}

void Tsitesave::FormShow()
{
    guarded([&] { fillFromIndexes(baseDir_, profiles, webtext); });
}

void Tsitesave::BitBtn1Click()
{
    const bool ok = guarded([&] {
        std::vector<std::string> names = toLines(profiles->items());
        std::vector<std::string> addresses = toLines(listEntries(webtext));
        ProfileStore(toUtf8(baseDir_)).saveProfile(toUtf8(profiles->text()), site_, names, addresses);
        profiles->setItems(fromLines(names));
        setListEntries(webtext, fromLines(addresses));
    });
    if (ok)
        accept();
}

Tsiteload::Tsiteload(const QString& baseDir, SiteProfile& site, QWidget* parent)
    : QDialog(parent), baseDir_(baseDir), site_(site)
{
    setObjectName(QStringLiteral("Tsiteload"));
    auto* remove = new QPushButton(QStringLiteral("Delete"));
    remove->setObjectName(QStringLiteral("deletesite"));
    const NameDialogParts parts =
        buildNameDialog(this, QStringLiteral("Load Site Profile"), QStringLiteral("Please select a site to load:"),
                        "toloadlist", {remove});
    Label1 = parts.prompt;
    toloadlist = parts.nameBox;
    deletesite = remove;
    BitBtn1 = parts.ok;
    BitBtn2 = parts.cancel;
    urls = hiddenList(this, "urls");
    connect(BitBtn1, &QPushButton::clicked, this, &Tsiteload::BitBtn1Click);
    connect(toloadlist, &SimpleComboBox::doubleClicked, this, &Tsiteload::toloadlistDblClick);
    connect(deletesite, &QPushButton::clicked, this, &Tsiteload::deletesiteClick);
    FormShow();
}

void Tsiteload::FormShow()
{
    guarded([&] { fillFromIndexes(baseDir_, toloadlist, urls); });
}

void Tsiteload::BitBtn1Click()
{
    // Reads only the name box: the run drives this without showing the dialog.
    const bool ok = guarded([&] {
        site_ = ProfileStore(toUtf8(baseDir_)).loadProfile(toUtf8(toloadlist->text()));
        emit profileLoaded();
    });
    if (ok)
        accept();
}

void Tsiteload::deletesiteClick()
{
    guarded([&] {
        std::vector<std::string> names = toLines(toloadlist->items());
        std::vector<std::string> addresses = toLines(listEntries(urls));
        ProfileStore(toUtf8(baseDir_)).deleteProfile(toUtf8(toloadlist->text()), names, addresses);
        toloadlist->setItems(fromLines(names));
        toloadlist->setText(QString());
        setListEntries(urls, fromLines(addresses));
    });
}

bool saveSiteProfileDialog(QWidget* parent, const QString& baseDir, const SiteProfile& site)
{
    Tsitesave dialog(baseDir, site, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool loadSiteProfileDialog(QWidget* parent, const QString& baseDir, SiteProfile& site)
{
    Tsiteload dialog(baseDir, site, parent);
    return dialog.exec() == QDialog::Accepted;
}

void connectSiteProfileDialogs(SiteDataPage* page)
{
    QObject::connect(page, &SiteDataPage::saveDialogRequested, page,
                     [page] { saveSiteProfileDialog(page, page->baseDir(), page->profile()); });
    QObject::connect(page, &SiteDataPage::loadDialogRequested, page, [page] {
        SiteProfile site = page->profile();
        if (loadSiteProfileDialog(page, page->baseDir(), site))
            page->setProfile(site, true);
    });
}

}  // namespace tolvan::app

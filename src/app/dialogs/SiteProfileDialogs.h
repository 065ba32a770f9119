#pragma once
// "Save Site Profile" and "Load Site Profile": name the working site profile
// when saving it, pick a saved one to load into it (or delete one).
#include <QDialog>

#include "profiles/SiteProfile.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace tolvan::app {

class SimpleComboBox;
class SiteDataPage;

class Tsitesave : public QDialog {
    Q_OBJECT
public:
    // `site` is the working copy to be saved (copied).
    Tsitesave(const QString& baseDir, const SiteProfile& site, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    SimpleComboBox* profiles = nullptr;
    QListWidget* webtext = nullptr;  // hidden: the saved full addresses
    QPushButton* BitBtn1 = nullptr;  // OK
    QPushButton* BitBtn2 = nullptr;  // Cancel

public slots:
    void FormShow();  // fills the name list and the address list from the index files
    void BitBtn1Click();
    void profilesDblClick() { BitBtn1Click(); }

private:
    QString baseDir_;
    SiteProfile site_;
};

class Tsiteload : public QDialog {
    Q_OBJECT
public:
    // OK loads the named profile into `site`, the working copy. OK works
    // without the dialog being shown: the submission run may set the name
    // box's text and call BitBtn1Click directly.
    Tsiteload(const QString& baseDir, SiteProfile& site, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    SimpleComboBox* toloadlist = nullptr;
    QListWidget* urls = nullptr;  // hidden: the saved full addresses
    QPushButton* deletesite = nullptr;
    QPushButton* BitBtn1 = nullptr;  // OK
    QPushButton* BitBtn2 = nullptr;  // Cancel

public slots:
    void FormShow();
    void BitBtn1Click();
    void toloadlistDblClick() { BitBtn1Click(); }
    // Deletes the typed profile at once, without asking; the dialog stays open.
    void deletesiteClick();

signals:
    // The working copy was replaced: the Site Data page shows it again.
    void profileLoaded();

private:
    QString baseDir_;
    SiteProfile& site_;
};

// Shows "Save Site Profile" modally for the working copy; true when saved.
bool saveSiteProfileDialog(QWidget* parent, const QString& baseDir, const SiteProfile& site);
// Shows "Load Site Profile" modally; true when a profile was loaded into `site`.
bool loadSiteProfileDialog(QWidget* parent, const QString& baseDir, SiteProfile& site);

// Wires the Site Data page's "Save Current Site" and "Load Saved Site" requests
// (the page has made its checks) to these dialogs; a loaded profile goes back
// into the page's controls, its last-submission text included.
void connectSiteProfileDialogs(SiteDataPage* page);

}  // namespace tolvan::app

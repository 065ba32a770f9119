#pragma once
// "Save Batch List" and "Load Batch List": keep the Submit page's sites-to-submit
// list under a name in sites/, and bring a saved one back (or delete it).
#include <QDialog>
#include <QStringList>

#include <optional>

class QLabel;
class QPushButton;

namespace tolvan::app {

class SimpleComboBox;
class SubmitPage;

class Tsavebatch : public QDialog {
    Q_OBJECT
public:
    // `sites` are the sites to submit at the time of saving, in list order.
    Tsavebatch(const QString& baseDir, const QStringList& sites, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    SimpleComboBox* profiles = nullptr;
    QPushButton* BitBtn1 = nullptr;  // OK
    QPushButton* BitBtn2 = nullptr;  // Cancel

public slots:
    void FormShow();  // the saved names from sites/tlxbatch.tlx, when it exists
    // Saves under the typed name and closes; a name that cannot be a list name
    // is refused with a message and the dialog stays open.
    void BitBtn1Click();

private:
    QString baseDir_;
    QStringList sites_;
};

class Tloadbatch : public QDialog {
    Q_OBJECT
public:
    explicit Tloadbatch(const QString& baseDir, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    SimpleComboBox* toloadlist = nullptr;
    QPushButton* deletesite = nullptr;
    QPushButton* BitBtn1 = nullptr;  // OK
    QPushButton* BitBtn2 = nullptr;  // Cancel

    // The sites of the list chosen by OK; nothing when no list was loaded.
    std::optional<QStringList> loadedSites() const { return loaded_; }

public slots:
    void FormShow();
    // Loads the typed list and closes. A list that cannot be read is reported
    // and the dialog stays open; nothing is loaded.
    void BitBtn1Click();
    void toloadlistDblClick() { BitBtn1Click(); }
    // Deletes the typed list at once, without asking; the dialog stays open.
    void deletesiteClick();

private:
    QString baseDir_;
    std::optional<QStringList> loaded_;
};

// Shows "Save Batch List" modally for `sites`; true when a list was written.
bool saveBatchListDialog(QWidget* parent, const QString& baseDir, const QStringList& sites);
// Shows "Load Batch List" modally; the loaded sites, or nothing.
std::optional<QStringList> loadBatchListDialog(QWidget* parent, const QString& baseDir);

// Wires the Submit page's "Save List" and "Load List" requests (the page has
// made its checks) to these dialogs; a loaded list replaces the sites to submit.
void connectBatchListDialogs(SubmitPage* page);

}  // namespace tolvan::app

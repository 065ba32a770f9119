#pragma once
// "Update Data Files": downloads the engine data archive from the maker's
// update server and unpacks it into data/. The work is done by the core's
// EngineUpdate; this dialog shows its status, progress bar and percentage.
#include <QDialog>

#include <string>

#include "engines/EngineUpdate.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace tolvan::widgets {
class LedNumber;
}

namespace tolvan::app {

class EnginesPage;

class UpdateDialog : public QDialog, private EngineUpdateObserver {
    Q_OBJECT
public:
    // baseDir ends with "/"; data/hosts.tlx there names the update host.
    UpdateDialog(QWidget* parent, const std::string& baseDir);
    ~UpdateDialog() override;

    EngineUpdate& update() { return update_; }
    HttpClient& HTTP4() { return update_.HTTP4(); }
    ZipExtractor& zip() { return update_.zip(); }

    QPushButton* Button1 = nullptr;  // "Start Update"
    QLabel* Label4 = nullptr;        // status
    QProgressBar* bar = nullptr;
    widgets::LedNumber* percent = nullptr;
    QLabel* Label3 = nullptr;  // "% Complete"
    QLineEdit* tURL = nullptr;
    QLineEdit* tDiskfile = nullptr;
    QListWidget* lTrack = nullptr;
    QPushButton* Button2 = nullptr;  // hidden "unzip": the extraction step

public slots:
    void Button1Click();
    void Button2Click();
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void updateChanged() override;
    void showMessage(const std::string& text) override;
    void finish(UpdateOutcome outcome);

    EngineUpdate update_;
    bool closing_ = false;
};

// The Options page's "Update Engine Data" (and File, Update Data Files): shows
// the dialog modally, then reloads the available engines from data/sites.tlx
// and data/custeng.tlx, whether or not the update succeeded.
void UpdatebtnClick(QWidget* parent, const std::string& baseDir, EnginesPage* engines);

// Refills the Engines page's available list from the engine index and the
// custom engines (a missing file adds nothing) and shows the new count.
void reloadAvailableEngines(const std::string& baseDir, EnginesPage* engines);

}  // namespace tolvan::app

#pragma once
// "Import and AutoRun": a window beside the main window listing the site files
// dropped into batch/. Selected files are saved as site profiles and, on
// request, submitted at once to the major engines or to all engines.
#include <QDialog>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "profiles/BatchImport.h"
#include "profiles/SiteProfile.h"

class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace tolvan::app {

class MainWindow;
class Tautobatch;

// What the window reaches in the main window.
struct AutoRunHooks {
    std::function<SiteProfile()> workingProfile;                 // the Site Data fields
    std::function<void(const SiteProfile&)> setWorkingProfile;   // fill them
    std::function<QStringList()> sitesToSubmit;                  // ListBox4
    std::function<void(const QStringList&)> setSitesToSubmit;
    std::function<void()> pressMajorEngines;                     // Engines page, "Major Engines"
    std::function<void()> pressSelectAllEngines;                 // Engines page, "Select All Engines"
    std::function<void()> showSubmitPage;                        // bring the Submit tab to the front
    std::function<bool()> runGoing;                              // a submission run is going (optional)
    // Presses Submit! on behalf of `window`: the run closes and releases the
    // window as it starts (unless it finds no sites to submit).
    std::function<void(Tautobatch* window)> pressSubmit;
};

class Tautobatch : public QDialog {
    Q_OBJECT
public:
    Tautobatch(const QString& baseDir, AutoRunHooks hooks, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QListWidget* files = nullptr;  // the files of batch/, several may be selected
    QRadioButton* allengines = nullptr;
    QRadioButton* majorengines = nullptr;
    QPushButton* Button1 = nullptr;  // Submit Selected
    QPushButton* Button2 = nullptr;  // Save Selected
    QPushButton* Button4 = nullptr;  // Delete Selected
    QPushButton* Button3 = nullptr;  // Cancel

    // The selected file names, in list order.
    std::vector<std::string> selectedFiles() const;

    // The run starts: the window closes at once and is released once the
    // handler that pressed Submit! is done (at once when called from elsewhere).
    void closeForRun();

public slots:
    void FormShow();     // re-reads batch/ into the file list
    void Button2Click(); // Save Selected
    void Button1Click(); // Submit Selected
    void Button4Click(); // Delete Selected
    void Button3Click(); // Cancel

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Saves the selected files as profiles and leaves the last one in the Site
    // Data fields; false when an error ended it (already shown).
    // Imports the selected files; `handled` gets those that could be read. A
    // file that could not is named in an error box. True when all went well.
    bool importSelected(std::optional<ImportedSite>& last, std::vector<std::string>& handled);
    void reportProblems(const QString& what, const std::vector<BatchFileProblem>& problems);

    QString baseDir_;
    AutoRunHooks hooks_;
    bool pressingSubmit_ = false;
    bool closedForRun_ = false;
};

// The hooks for the main window's pages and submission run.
AutoRunHooks autoRunHooks(MainWindow* window);

// File, "Import and AutoRun": a new window, shown without blocking; it is
// released when it closes.
Tautobatch* openImportAutoRun(MainWindow* window);

}  // namespace tolvan::app

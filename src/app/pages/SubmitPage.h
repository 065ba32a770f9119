#pragma once
// The "Submit" page: the sites to submit, the copy of the engines to submit,
// the run's progress display and its control and report buttons.
#include <QStringList>
#include <QWidget>

class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace tolvan::widgets {
class BlinkLabel;
class LedLamp;
class LedNumber;
}  // namespace tolvan::widgets

namespace tolvan::app {

class SubmitPage : public QWidget {
    Q_OBJECT
public:
    explicit SubmitPage(QWidget* parent = nullptr);

    // Idle text of the status labels.
    static const QString kPlaceholder;

    // Base directory the saved site addresses live under (sites/tlxurls.tlx).
    void setBaseDir(const QString& dir);
    QString baseDir() const { return baseDir_; }

    // Entering the page: adds the working site's full address unless it is
    // empty, exactly "http://" or already listed, or a run is going.
    void addCurrentSite(const QString& fullAddress);

    // Changing pages: the chooser's text becomes the working site's full address
    // unless that is empty or exactly "http://".
    void copySiteToChooser(const QString& fullAddress);

    // Run state of the buttons: Submit!, the reports and the site-list editing
    // controls while idle; Pause, Skip and Cancel while a run goes.
    void setRunning(bool running);
    bool isRunning() const { return running_; }

    QStringList sitesToSubmit() const;
    // Replaces the sites to submit (a loaded batch list): sorted, not de-duplicated.
    void setSitesToSubmit(const QStringList& sites);

    // Inserts at the entry's place in a list sorted without regard to case
    // (the sites, success and failure lists).
    static void insertSortedEntry(QListWidget* list, const QString& entry);

    // Site list
    QLabel* sitestosubmitl = nullptr;
    QListWidget* ListBox4 = nullptr;
    QComboBox* sitestosubmitcb = nullptr;
    QPushButton* siestosubmitaddb = nullptr;
    QPushButton* sitestosubmitRemoveb = nullptr;
    QPushButton* BitBtn9 = nullptr;
    QPushButton* BitBtn10 = nullptr;
    // Engines still to do
    QLabel* Label2 = nullptr;
    QListWidget* ListBox3 = nullptr;
    widgets::LedNumber* ledn1 = nullptr;
    // Progress display
    widgets::BlinkLabel* statusl = nullptr;
    QLabel* beingsubmittedl = nullptr;
    QLabel* currentenginel = nullptr;
    widgets::LedLamp* Led = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QProgressBar* ProgressBar2 = nullptr;
    widgets::LedNumber* ledn6 = nullptr;
    widgets::LedNumber* ledn7 = nullptr;
    QListWidget* successlist = nullptr;
    QListWidget* failedlist = nullptr;
    widgets::LedNumber* ledn2 = nullptr;
    widgets::LedNumber* ledn3 = nullptr;
    widgets::LedNumber* ledn4 = nullptr;
    widgets::LedNumber* ledn5 = nullptr;
    // Run control and reports
    QPushButton* BitBtn1 = nullptr;   // Submit!
    QPushButton* BitBtn2 = nullptr;   // Cancel
    QPushButton* pausebtn = nullptr;
    QPushButton* skipbtn = nullptr;
    QPushButton* BitBtn14 = nullptr;  // HTML report
    QPushButton* BitBtn13 = nullptr;  // Text report
    QPushButton* BitBtn3 = nullptr;   // E-Mail report

public slots:
    // ListBox3 := the engines to submit.
    void setEngineCopy(const QStringList& engines);
    // Label2 := "Engines to Submit:", ledn1 := count.
    void showEngineCount(int count);

    void sitestosubmitcbEnter();
    void siestosubmitaddbClick();
    void sitestosubmitRemovebClick();
    void BitBtn9Click();
    void BitBtn10Click();
    void beingsubmittedlMouseMove();

signals:
    // Preconditions met; the batch-list dialogs take over from here.
    void loadBatchListRequested();
    void saveBatchListRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString sitesPath(const QString& file) const;
    void addSite(const QString& address);

    QString baseDir_;
    bool running_ = false;
};

}  // namespace tolvan::app

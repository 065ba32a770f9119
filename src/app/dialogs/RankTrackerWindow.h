#pragma once
// "Rank Tracker": checks several sites and phrases on several engines at once,
// with a progress bar, Stop and a table of outcomes, and shows the history of
// a site and phrase: a chart of the place over time per engine (place 1 on
// top, gaps where the site was not found, blocked or not recognised), the best
// place, the change since the previous check and the competitors of the
// latest check. "Export CSV..." writes the full history of the selection.
#include <QDialog>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "ranking/RankCheck.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

class QChartView;

namespace tolvan::app {

class RankTrackerWindow : public QDialog {
    Q_OBJECT
public:
    RankTrackerWindow(const std::string& baseDir, QWidget* parent = nullptr);
    ~RankTrackerWindow() override;

    // The time-out and pause of the checks (the Options page's values).
    void setTimeoutSeconds(const std::string& seconds) { timeout_ = seconds; }
    void setPause(int minMs, int maxMs)
    {
        minPauseMs_ = minMs;
        maxPauseMs_ = maxMs;
    }
    // The proxy the checks go through, as Submit!'s (empty server: none).
    void setProxy(const std::string& server, int port)
    {
        proxyServer_ = server;
        proxyPort_ = port;
    }
    // Where the engines' API keys come from.
    void setKeySource(std::function<std::string(const std::string&)> source) { keySource_ = std::move(source); }

    // Check (Stop while a check runs).
    void checkbtnClick();
    // Shows the history of the site and phrase chosen below the outcomes.
    void showHistory();
    void exportClick();
    // Writes the full history of the chosen site and phrase as CSV.
    void exportCsv(const QString& file);
    bool running() const { return check_ != nullptr; }
    // Ends a check in progress (the program is closing); the window stays.
    void stop();
    // The checks the last showHistory() charted: found ones and gaps (tests).
    int chartPoints() const { return chartPoints_; }
    int chartGaps() const { return chartGaps_; }

    QPlainTextEdit* sitesedit = nullptr;
    QPlainTextEdit* phrasesedit = nullptr;
    QListWidget* engineslist = nullptr;
    QSpinBox* depthspin = nullptr;
    QPushButton* checkbtn = nullptr;
    QProgressBar* progress = nullptr;
    QLabel* statuslabel = nullptr;
    QTableWidget* outcomes = nullptr;
    QComboBox* historysite = nullptr;
    QComboBox* historyphrase = nullptr;
    QChartView* chart = nullptr;
    QLabel* bestlabel = nullptr;
    QLabel* changelabel = nullptr;
    QLabel* competitorslabel = nullptr;
    QTableWidget* competitors = nullptr;
    QPushButton* exportbtn = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Fills the site and phrase choices of the history, choosing the given
    // ones (or keeping the current ones) where the history has them.
    void fillHistoryChoices(QString site = {}, QString phrase = {});
    void addOutcome(const RankCheckResult& r);

    std::string baseDir_;
    std::string timeout_ = "60";
    int minPauseMs_ = 2000, maxPauseMs_ = 5000;
    std::string proxyServer_;
    int proxyPort_ = 80;
    std::function<std::string(const std::string&)> keySource_;
    RankCheck* check_ = nullptr;
    bool closeWhenDone_ = false;
    int chartPoints_ = 0, chartGaps_ = 0;
};

}  // namespace tolvan::app

#pragma once
// The "Search" page: one engine, a site address or keywords, Check Site.
#include <QWidget>

#include <optional>

#include "ranking/SearchCheck.h"

class QButtonGroup;
class QComboBox;
class QPushButton;
class QRadioButton;

namespace tolvan::app {

class SearchPage : public QWidget {
    Q_OBJECT
public:
    explicit SearchPage(QWidget* parent = nullptr);

    // Base directory of the saved site addresses (sites/tlxurls.tlx) and of the
    // engines' search hosts (data/hosts.tlx).
    void setBaseDir(const QString& dir);
    QString baseDir() const { return baseDir_; }

    QComboBox* search = nullptr;
    QRadioButton* isradio = nullptr;
    QRadioButton* yahooradio = nullptr;
    QRadioButton* avradio = nullptr;
    QRadioButton* lycosradio = nullptr;
    QRadioButton* aolradio = nullptr;
    QRadioButton* exciteradio = nullptr;
    QRadioButton* hbradio = nullptr;
    QRadioButton* wcradio = nullptr;
    QButtonGroup* engineGroup = nullptr;
    QPushButton* BitBtn11 = nullptr;  // Check Site

    // The engine of the chosen radio button, if any.
    std::optional<SearchEngine> chosenEngine() const;

public slots:
    // Entering the page (and every page change): the drop-down entries become
    // the saved site addresses when that file exists; the typed text stays.
    void TabSheet6Enter();

    // Check Site: opens the chosen engine's search for the box's text in the
    // browser. With no engine chosen nothing happens; an engine without a host
    // in data/hosts.tlx, or a browser that cannot be started, is reported.
    void BitBtn11Click();

private:
    QString baseDir_;
};

}  // namespace tolvan::app

#pragma once
// The "Search" page: one engine, a site address or keywords, Check Site.
#include <QWidget>

class QButtonGroup;
class QComboBox;
class QPushButton;
class QRadioButton;

namespace tolvan::app {

class SearchPage : public QWidget {
    Q_OBJECT
public:
    explicit SearchPage(QWidget* parent = nullptr);

    // Base directory the saved site addresses live under (sites/tlxurls.tlx).
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

public slots:
    // Entering the page (and every page change): the drop-down entries become
    // the saved site addresses when that file exists; the typed text stays.
    void TabSheet6Enter();

private:
    QString baseDir_;
};

}  // namespace tolvan::app

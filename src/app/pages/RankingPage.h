#pragma once
// The "Ranking" page: site, phrase, depth, the eight engine panels and the
// rank report buttons.
#include <QWidget>

#include <array>

#include "reporting/RankData.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tolvan::widgets {
class DropDownComboBox;
class LedLamp;
class LedNumber;
}  // namespace tolvan::widgets

namespace tolvan::app {

class RankingPage : public QWidget {
    Q_OBJECT
public:
    explicit RankingPage(QWidget* parent = nullptr);

    // Base directory the saved site addresses live under (sites/tlxurls.tlx).
    void setBaseDir(const QString& dir);
    QString baseDir() const { return baseDir_; }

    // One engine's controls, in the order the checker visits them.
    struct EnginePanel {
        QCheckBox* check;
        widgets::LedLamp* lamp;
        widgets::LedNumber* digit;
    };
    static constexpr int kEngineCount = 8;
    // Infoseek, Yahoo, AltaVista, AOL NetFind, Lycos, Excite, HotBot, WebCrawler.
    std::array<EnginePanel, kEngineCount> enginePanels() const;

    // What the reports read, as the controls show it now: the site, the phrase,
    // the depth text, and every engine's tick box and place.
    RankData rankData() const;

    widgets::DropDownComboBox* sitetorankedit = nullptr;
    QLineEdit* keyphraseedit = nullptr;
    QComboBox* depthedit = nullptr;

    QCheckBox* iscb = nullptr;
    QCheckBox* lycb = nullptr;
    QCheckBox* yhcb = nullptr;
    QCheckBox* excb = nullptr;
    QCheckBox* avcb = nullptr;
    QCheckBox* hbcb = nullptr;
    QCheckBox* aolcb = nullptr;
    QCheckBox* wccb = nullptr;
    widgets::LedLamp* isled = nullptr;
    widgets::LedLamp* lyled = nullptr;
    widgets::LedLamp* yhled = nullptr;
    widgets::LedLamp* exled = nullptr;
    widgets::LedLamp* avled = nullptr;
    widgets::LedLamp* hbled = nullptr;
    widgets::LedLamp* aolled = nullptr;
    widgets::LedLamp* wcled = nullptr;
    widgets::LedNumber* isdigit = nullptr;
    widgets::LedNumber* lydigit = nullptr;
    widgets::LedNumber* yhdigit = nullptr;
    widgets::LedNumber* exdigit = nullptr;
    widgets::LedNumber* avdigit = nullptr;
    widgets::LedNumber* hbdigit = nullptr;
    widgets::LedNumber* aoldigit = nullptr;
    widgets::LedNumber* wcdigit = nullptr;

    QPlainTextEdit* rankmemo = nullptr;  // the page text being scanned; hidden
    QPushButton* debugb = nullptr;       // reached only through its accelerator
    QPushButton* rankbtn = nullptr;
    QPushButton* rankhtmlbtn = nullptr;
    QPushButton* ranktextbtn = nullptr;
    QPushButton* rankemailbtn = nullptr;

public slots:
    // Opening the site list: its entries become the saved site addresses.
    void sitetorankeditDropDown();
    // Shows the rank buffer in a small box at the lower left.
    void debugbClick();
    // The page last fetched, for the rank buffer. A long page reaches the
    // hidden buffer only when Debug shows it: laying out megabytes on one
    // line would hold the window up for seconds at every page.
    void setRankBuffer(const QString& page);

private:
    QString baseDir_;
    QString pendingBuffer_;
    bool bufferPending_ = false;
};

}  // namespace tolvan::app

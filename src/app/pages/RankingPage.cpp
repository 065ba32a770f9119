#include "app/pages/RankingPage.h"

#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/CaptionLabel.h"
#include "widgets/DropDownComboBox.h"
#include "widgets/LedLamp.h"
#include "widgets/LedNumber.h"
#include "widgets/SiteAddresses.h"

namespace tolvan::app {

using widgets::CaptionLabel;

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    return b;
}

}  // namespace

RankingPage::RankingPage(QWidget* parent) : QWidget(parent), baseDir_(QDir::currentPath())
{
    sitetorankedit = new widgets::DropDownComboBox(this);
    sitetorankedit->setObjectName(QStringLiteral("sitetorankedit"));
    sitetorankedit->setEditable(true);
    sitetorankedit->setInsertPolicy(QComboBox::NoInsert);
    sitetorankedit->setToolTip(QStringLiteral("Enter your website here."));
    keyphraseedit = new QLineEdit(this);
    keyphraseedit->setObjectName(QStringLiteral("keyphraseedit"));
    keyphraseedit->setToolTip(QStringLiteral("Enter a search phrasee or keyword(s)."));
    depthedit = new QComboBox(this);
    depthedit->setObjectName(QStringLiteral("depthedit"));
    depthedit->setEditable(true);
    depthedit->setInsertPolicy(QComboBox::NoInsert);
    for (int d = 50; d <= 500; d += 50)
        depthedit->addItem(QString::number(d));
    depthedit->setEditText(QStringLiteral("50"));
    depthedit->setToolTip(
        QStringLiteral("Selects the number of results you want to check on the search engines."));
    depthedit->setMinimumContentsLength(4);

    // Engine panels, laid out two columns by four rows.
    struct PanelLayout {
        QCheckBox** check;
        widgets::LedLamp** lamp;
        widgets::LedNumber** digit;
        const char* cb;
        const char* led;
        const char* dig;
        const char* caption;
    };
    const PanelLayout layouts[] = {
        {&iscb, &isled, &isdigit, "iscb", "isled", "isdigit", "Check Infoseek"},
        {&lycb, &lyled, &lydigit, "lycb", "lyled", "lydigit", "Check Lycos"},
        {&yhcb, &yhled, &yhdigit, "yhcb", "yhled", "yhdigit", "Check Yahoo"},
        {&excb, &exled, &exdigit, "excb", "exled", "exdigit", "Check Excite"},
        {&avcb, &avled, &avdigit, "avcb", "avled", "avdigit", "Check Alta Vista"},
        {&hbcb, &hbled, &hbdigit, "hbcb", "hbled", "hbdigit", "Check Hot Bot"},
        {&aolcb, &aolled, &aoldigit, "aolcb", "aolled", "aoldigit", "Check AOL Net Find"},
        {&wccb, &wcled, &wcdigit, "wccb", "wcled", "wcdigit", "Check Web Crawler"},
    };
    auto* enginesBox = new QGroupBox(QStringLiteral("Search Engines"), this);
    auto* panels = new QGridLayout(enginesBox);
    panels->setHorizontalSpacing(8);
    panels->setVerticalSpacing(4);
    int i = 0;
    for (const PanelLayout& s : layouts) {
        auto* check = new QCheckBox(QString::fromLatin1(s.caption), enginesBox);
        check->setObjectName(QString::fromLatin1(s.cb));
        auto* lamp = new widgets::LedLamp(enginesBox);
        lamp->setObjectName(QString::fromLatin1(s.led));
        lamp->setColorValue(65280);
        auto* digit = new widgets::LedNumber(enginesBox, 3);
        digit->setObjectName(QString::fromLatin1(s.dig));
        digit->setBlankWhenZero(true);
        digit->setToolTip(QStringLiteral("Your Website's position on the search engine with the search you perform"));
        const QString engine = QString::fromLatin1(s.caption).mid(6);  // after "Check "
        lamp->setAccessibleName(engine + QStringLiteral(" lamp"));
        digit->setAccessibleName(engine + QStringLiteral(" place"));
        *s.check = check;
        *s.lamp = lamp;
        *s.digit = digit;
        const int row = i % 4;
        const int col = (i / 4) * 4;
        panels->addWidget(check, row, col);
        panels->addWidget(lamp, row, col + 1);
        panels->addWidget(digit, row, col + 2);
        ++i;
    }
    panels->setColumnStretch(0, 1);
    panels->setColumnMinimumWidth(3, 16);
    panels->setColumnStretch(4, 1);

    rankbtn = makeButton(this, "rankbtn", QStringLiteral("Rank Site"), QStringLiteral("Start the ranking process."));
    QFont bold = rankbtn->font();
    bold.setBold(true);
    rankbtn->setFont(bold);
    rankhtmlbtn = makeButton(this, "rankhtmlbtn", QStringLiteral("HTML Report"),
                             QStringLiteral("Generate a status report in HTML"));
    ranktextbtn = makeButton(this, "ranktextbtn", QStringLiteral("TEXT Report"),
                             QStringLiteral("Generate a status report in ASCII Text"));
    rankemailbtn =
        makeButton(this, "rankemailbtn", QStringLiteral("EMAIL Report"), QStringLiteral("E-Mail a status report"));

    rankmemo = new QPlainTextEdit(this);
    rankmemo->setObjectName(QStringLiteral("rankmemo"));
    rankmemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    rankmemo->setReadOnly(true);
    rankmemo->setFixedSize(180, 60);
    rankmemo->hide();

    // Zero-sized: only its accelerator reaches it.
    debugb = new QPushButton(QStringLiteral("&Debug"), this);
    debugb->setObjectName(QStringLiteral("debugb"));
    debugb->setFixedSize(0, 0);
    debugb->setFocusPolicy(Qt::NoFocus);
    debugb->setFlat(true);

    auto* inputs = new QGridLayout;
    inputs->setHorizontalSpacing(8);
    inputs->setVerticalSpacing(3);
    inputs->addWidget(new CaptionLabel(QStringLiteral("Web Site to Rank (Do not enter the http://):"), this),
                      0, 0);
    inputs->addWidget(sitetorankedit, 1, 0);
    inputs->addWidget(new CaptionLabel(QStringLiteral("Search Depth:"), this), 0, 1, 1, 2);
    inputs->addWidget(depthedit, 1, 1);
    inputs->addWidget(new CaptionLabel(QStringLiteral("Results"), this), 1, 2);
    inputs->addWidget(
        new CaptionLabel(QStringLiteral("Enter phrases and/or keywords (As you would in a search Engine):"), this),
        2, 0, 1, 3);
    inputs->addWidget(keyphraseedit, 3, 0, 1, 3);
    auto* depthNote = new CaptionLabel(
        QStringLiteral("A depth value of 50 will cause Tolvan to look for your site in the first 50 results of each "
                       "engine."),
        this);
    depthNote->setWordWrap(true);
    inputs->addWidget(depthNote, 4, 0, 1, 3);
    inputs->setColumnStretch(0, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(rankmemo);
    buttons->addWidget(debugb);
    buttons->addStretch(1);
    buttons->addWidget(rankbtn);
    buttons->addSpacing(12);
    buttons->addWidget(rankhtmlbtn);
    buttons->addWidget(ranktextbtn);
    buttons->addWidget(rankemailbtn);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(12, 10, 12, 10);
    page->setSpacing(8);
    page->addLayout(inputs);
    page->addWidget(enginesBox);
    page->addStretch(1);
    page->addLayout(buttons);

    connect(sitetorankedit, &widgets::DropDownComboBox::dropDown, this, &RankingPage::sitetorankeditDropDown);
    connect(debugb, &QPushButton::clicked, this, &RankingPage::debugbClick);
}

void RankingPage::setBaseDir(const QString& dir) { baseDir_ = dir; }

std::array<RankingPage::EnginePanel, RankingPage::kEngineCount> RankingPage::enginePanels() const
{
    return {EnginePanel{iscb, isled, isdigit},   EnginePanel{yhcb, yhled, yhdigit},
            EnginePanel{avcb, avled, avdigit},   EnginePanel{aolcb, aolled, aoldigit},
            EnginePanel{lycb, lyled, lydigit},   EnginePanel{excb, exled, exdigit},
            EnginePanel{hbcb, hbled, hbdigit},   EnginePanel{wccb, wcled, wcdigit}};
}

RankData RankingPage::rankData() const
{
    RankData data;
    data.site = sitetorankedit->currentText().toStdString();
    data.phrase = keyphraseedit->text().toStdString();
    data.depth = depthedit->currentText().toStdString();
    const auto panels = enginePanels();
    for (std::size_t i = 0; i < panels.size(); ++i)
        data.engines[i] = RankEntry{panels[i].check->isChecked(), panels[i].digit->value()};
    return data;
}

void RankingPage::sitetorankeditDropDown() { widgets::loadSavedAddresses(sitetorankedit, baseDir_); }

namespace {
// Longer pages are not laid out in a hidden buffer.
constexpr qsizetype kEagerBufferChars = 64 * 1024;
}  // namespace

void RankingPage::setRankBuffer(const QString& page)
{
    if (rankmemo->isVisible() || page.size() <= kEagerBufferChars) {
        rankmemo->setPlainText(page);
        pendingBuffer_.clear();
        bufferPending_ = false;
        return;
    }
    rankmemo->clear();
    pendingBuffer_ = page;
    bufferPending_ = true;
}

void RankingPage::debugbClick()
{
    if (bufferPending_) {
        rankmemo->setPlainText(pendingBuffer_);
        pendingBuffer_.clear();
        bufferPending_ = false;
    }
    rankmemo->show();
}

}  // namespace tolvan::app

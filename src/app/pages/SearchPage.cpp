#include "app/pages/SearchPage.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/Browser.h"
#include "app/ErrorHandler.h"
#include "app/Messages.h"
#include "net/RemoteHosts.h"
#include "widgets/CaptionLabel.h"
#include "widgets/SiteAddresses.h"

namespace tolvan::app {

using widgets::CaptionLabel;

SearchPage::SearchPage(QWidget* parent) : QWidget(parent), baseDir_(QDir::currentPath())
{
    auto* intro = new CaptionLabel(QStringLiteral("Check how a search engine lists your site: choose an engine, "
                                                  "pick one of your saved sites or type keywords, and press Check "
                                                  "Site. The engine's answer opens in your web browser."),
                                   this);
    intro->setWordWrap(true);

    search = new QComboBox(this);
    search->setObjectName(QStringLiteral("search"));
    search->setEditable(true);
    search->setInsertPolicy(QComboBox::NoInsert);
    search->setToolTip(QStringLiteral("Select a URL or enter keywords to search for in the search engines."));

    auto* engines = new QGroupBox(QStringLiteral("Search Engine"), this);
    auto* grid = new QGridLayout(engines);
    engineGroup = new QButtonGroup(this);
    engineGroup->setExclusive(true);
    struct Choice {
        QRadioButton** field;
        const char* name;
        const char* caption;
    };
    const Choice choices[] = {{&isradio, "isradio", "InfoSeek"},          {&yahooradio, "yahooradio", "Yahoo"},
                              {&avradio, "avradio", "Alta Vista"},        {&lycosradio, "lycosradio", "Lycos"},
                              {&aolradio, "aolradio", "AOL Net Find"},    {&exciteradio, "exciteradio", "Excite"},
                              {&hbradio, "hbradio", "Hot Bot"},           {&wcradio, "wcradio", "Web Crawler"}};
    int i = 0;
    for (const Choice& c : choices) {
        auto* r = new QRadioButton(QString::fromLatin1(c.caption), engines);
        r->setObjectName(QString::fromLatin1(c.name));
        r->setToolTip(QStringLiteral("Select a search engine for this lookup."));
        engineGroup->addButton(r, i);
        grid->addWidget(r, i / 4, i % 4);
        *c.field = r;
        ++i;
    }

    BitBtn11 = new QPushButton(QStringLiteral("Check Site"), this);
    BitBtn11->setObjectName(QStringLiteral("BitBtn11"));
    BitBtn11->setMinimumWidth(120);
    QFont bold = BitBtn11->font();
    bold.setBold(true);
    BitBtn11->setFont(bold);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(BitBtn11);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(16, 14, 16, 14);
    page->setSpacing(8);
    page->addWidget(intro);
    page->addSpacing(6);
    page->addWidget(new CaptionLabel(QStringLiteral("Site address or keywords:"), this));
    page->addWidget(search);
    page->addSpacing(6);
    page->addWidget(engines);
    page->addLayout(buttonRow);
    page->addStretch(1);

    connect(BitBtn11, &QPushButton::clicked, this, [this] { guarded([this] { BitBtn11Click(); }); });
}

void SearchPage::setBaseDir(const QString& dir) { baseDir_ = dir; }

void SearchPage::TabSheet6Enter() { widgets::loadSavedAddresses(search, baseDir_); }

std::optional<SearchEngine> SearchPage::chosenEngine() const
{
    const std::pair<const QRadioButton*, SearchEngine> radios[] = {
        {isradio, SearchEngine::infoseek}, {yahooradio, SearchEngine::yahoo}, {avradio, SearchEngine::altaVista},
        {lycosradio, SearchEngine::lycos}, {aolradio, SearchEngine::aolNetFind}, {exciteradio, SearchEngine::excite},
        {hbradio, SearchEngine::hotBot},   {wcradio, SearchEngine::webCrawler}};
    for (const auto& [radio, engine] : radios) {
        if (radio->isChecked())
            return engine;
    }
    return std::nullopt;
}

void SearchPage::BitBtn11Click()
{
    const std::optional<SearchEngine> engine = chosenEngine();
    if (!engine)
        return;
    const std::string address =
        searchAddress(RemoteHosts(baseDir_.toStdString()), *engine, search->currentText().toStdString());
    if (address.empty()) {
        showMessage(this, QStringLiteral("No search address is configured for %1 in data/hosts.tlx (section Search).")
                              .arg(QString::fromStdString(searchHostKey(*engine))));
        return;
    }
    if (!openInBrowser(QString::fromStdString(address)))
        showError(this, QStringLiteral("Couldn't launch default browser"));
}

}  // namespace tolvan::app

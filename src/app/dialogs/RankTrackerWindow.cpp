#include "app/dialogs/RankTrackerWindow.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <set>

#include "app/ErrorHandler.h"
#include "app/Messages.h"
#include "app/QtEventPump.h"
#include "app/TextConversion.h"
#include "app/dialogs/SaveFileDialog.h"
#include "history/HistoryStore.h"
#include "ranking/RankDefinition.h"
#include "ranking/RankHistory.h"
#include "ranking/RankResultText.h"
#include "util/Files.h"

namespace tolvan::app {

namespace {

// More gaps than this in one engine's history: one line that drops to the gap row.
constexpr long kMostLineBreaks = 200;
// Points per engine on the chart: more than a chart has pixels across.
constexpr std::size_t kMostChartPoints = 1000;

QString q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::vector<std::string> lines(const QPlainTextEdit* edit)
{
    std::vector<std::string> out;
    for (const QString& line : edit->toPlainText().split(QLatin1Char('\n'))) {
        const QString text = line.trimmed();
        if (!text.isEmpty())
            out.push_back(text.toStdString());
    }
    return out;
}

QTableWidget* table(const char* name, const QStringList& headers)
{
    auto* t = named(new QTableWidget(0, static_cast<int>(headers.size())), name);
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->horizontalHeader()->setStretchLastSection(true);
    t->verticalHeader()->hide();
    return t;
}

void appendRow(QTableWidget* t, const QStringList& cells)
{
    const int row = t->rowCount();
    t->insertRow(row);
    for (int c = 0; c < cells.size(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

}  // namespace

RankTrackerWindow::RankTrackerWindow(const std::string& baseDir, QWidget* parent) : QDialog(parent), baseDir_(baseDir)
{
    setObjectName(QStringLiteral("RankTrackerWindow"));
    setWindowTitle(QStringLiteral("Rank Tracker"));

    sitesedit = named(new QPlainTextEdit, "sitesedit");
    sitesedit->setPlaceholderText(QStringLiteral("One site a line, e.g. https://www.example.com/"));
    phrasesedit = named(new QPlainTextEdit, "phrasesedit");
    phrasesedit->setPlaceholderText(QStringLiteral("One search phrase a line"));
    engineslist = named(new QListWidget, "engineslist");
    const std::vector<std::string> defined = rankDefinitionNames(baseDir_);
    for (const std::string& name : rankEngineNames(baseDir_)) {
        auto* item = new QListWidgetItem(q(name), engineslist);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        const bool isDefined = std::find(defined.begin(), defined.end(), name) != defined.end();
        item->setCheckState(isDefined ? Qt::Checked : Qt::Unchecked);
    }
    depthspin = named(new QSpinBox, "depthspin");
    depthspin->setRange(1, 1000);
    depthspin->setValue(50);
    checkbtn = named(new QPushButton(QStringLiteral("Check")), "checkbtn");
    progress = named(new QProgressBar, "progress");
    progress->setRange(0, 1);
    progress->setValue(0);
    statuslabel = named(new QLabel, "statuslabel");
    outcomes = table("outcomes", {QStringLiteral("Site"), QStringLiteral("Phrase"), QStringLiteral("Engine"),
                                  QStringLiteral("Outcome"), QStringLiteral("Place"), QStringLiteral("Address"),
                                  QStringLiteral("Depth"), QStringLiteral("Detail")});

    historysite = named(new QComboBox, "historysite");
    historyphrase = named(new QComboBox, "historyphrase");
    auto* theChart = new QChart;
    theChart->legend()->setVisible(true);
    chart = named(new QChartView(theChart), "chart");
    chart->setRenderHint(QPainter::Antialiasing);
    chart->setMinimumHeight(220);
    bestlabel = named(new QLabel, "bestlabel");
    changelabel = named(new QLabel, "changelabel");
    competitors = table("competitors", {QStringLiteral("Place"), QStringLiteral("Address")});
    exportbtn = named(new QPushButton(QStringLiteral("Export CSV...")), "exportbtn");
    auto* closebtn = named(new QPushButton(QStringLiteral("Close")), "closebtn");

    auto* inputs = new QHBoxLayout;
    auto* left = new QFormLayout;
    left->addRow(QStringLiteral("Sites:"), sitesedit);
    left->addRow(QStringLiteral("Phrases:"), phrasesedit);
    inputs->addLayout(left, 2);
    auto* right = new QFormLayout;
    right->addRow(QStringLiteral("Engines:"), engineslist);
    right->addRow(QStringLiteral("Depth:"), depthspin);
    inputs->addLayout(right, 1);
    auto* run = new QHBoxLayout;
    run->addWidget(checkbtn);
    run->addWidget(progress, 1);
    run->addWidget(statuslabel, 1);

    auto* history = new QWidget;
    auto* historyLayout = new QVBoxLayout(history);
    auto* choose = new QHBoxLayout;
    choose->addWidget(new QLabel(QStringLiteral("History of site:")));
    choose->addWidget(historysite, 1);
    choose->addWidget(new QLabel(QStringLiteral("phrase:")));
    choose->addWidget(historyphrase, 1);
    choose->addWidget(exportbtn);
    historyLayout->addLayout(choose);
    auto* below = new QHBoxLayout;
    below->addWidget(chart, 3);
    auto* side = new QVBoxLayout;
    side->addWidget(bestlabel);
    side->addWidget(changelabel);
    competitorslabel = named(new QLabel(QStringLiteral("Competitors at the latest check:")), "competitorslabel");
    side->addWidget(competitorslabel);
    side->addWidget(competitors, 1);
    below->addLayout(side, 2);
    historyLayout->addLayout(below, 1);

    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(outcomes);
    split->addWidget(history);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(inputs);
    layout->addLayout(run);
    layout->addWidget(split, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(closebtn);
    layout->addLayout(bottom);
    resize(1000, 720);

    connect(checkbtn, &QPushButton::clicked, this, &RankTrackerWindow::checkbtnClick);
    connect(exportbtn, &QPushButton::clicked, this, &RankTrackerWindow::exportClick);
    connect(closebtn, &QPushButton::clicked, this, &QDialog::close);
    connect(historysite, &QComboBox::currentTextChanged, this, &RankTrackerWindow::showHistory);
    connect(historyphrase, &QComboBox::currentTextChanged, this, &RankTrackerWindow::showHistory);
    fillHistoryChoices();
}

RankTrackerWindow::~RankTrackerWindow()
{
    if (check_)
        check_->stop();
}

void RankTrackerWindow::stop()
{
    if (check_)
        check_->stop();
}

void RankTrackerWindow::closeEvent(QCloseEvent* event)
{
    if (check_) {
        // The check ends inside its own handler, which closes the window then.
        check_->stop();
        closeWhenDone_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void RankTrackerWindow::addOutcome(const RankCheckResult& r)
{
    appendRow(outcomes, {q(r.site), q(r.phrase), q(r.engine), QString::fromLatin1(rankOutcomeName(r.outcome)),
                         r.outcome == RankOutcome::Found ? QString::number(r.place) : QString(), q(r.address),
                         QString::number(r.depth), q(r.detail)});
    outcomes->scrollToBottom();
}

void RankTrackerWindow::checkbtnClick()
{
    if (check_) {
        check_->stop();
        return;
    }
    RankCheckRequest request;
    request.sites = lines(sitesedit);
    request.phrases = lines(phrasesedit);
    for (int i = 0; i < engineslist->count(); ++i)
        if (engineslist->item(i)->checkState() == Qt::Checked)
            request.engines.push_back(engineslist->item(i)->text().toStdString());
    if (request.sites.empty() || request.phrases.empty() || request.engines.empty()) {
        showMessage(this, QStringLiteral("Enter at least one site and one phrase, and tick at least one engine."));
        return;
    }
    request.depth = depthspin->value();
    request.timeoutSeconds = timeout_;
    request.minPauseMs = minPauseMs_;
    request.maxPauseMs = maxPauseMs_;

    RankCheck check(baseDir_, QtEventPump::instance());
    check.client().setProxyServer(proxyServer_);
    check.client().setProxyPort(static_cast<std::uint16_t>(proxyPort_));
    check.apiKey = keySource_;
    check.onProgress = [this](std::size_t done, std::size_t total, const std::string& what) {
        progress->setRange(0, static_cast<int>(total));
        progress->setValue(static_cast<int>(done));
        statuslabel->setText(what.empty() ? QStringLiteral("Done.") : QStringLiteral("Checking ") + q(what));
    };
    HistoryStore store(baseDir_);
    RankHistory history(store);
    check.onResult = [&](const RankCheckResult& r) {
        addOutcome(r);
        // Each outcome is kept at once, so a stop loses nothing decided; a
        // store that is off says so once, after the check.
        history.record({r});
    };
    outcomes->setRowCount(0);
    check_ = &check;
    checkbtn->setText(QStringLiteral("Stop"));
    guarded([&] { check.run(request); });
    check_ = nullptr;
    checkbtn->setText(QStringLiteral("Check"));
    if (check.stopped())
        statuslabel->setText(QStringLiteral("Stopped."));
    if (closeWhenDone_) {
        close();
        return;
    }
    const std::string notice = store.notice();
    if (!notice.empty())
        showNotice(this, q(notice));
    // The history below turns to what was just checked, the site named as the history keeps it.
    fillHistoryChoices(q(rankHistorySite(request.sites.back())), q(request.phrases.back()));
}

void RankTrackerWindow::fillHistoryChoices(QString site, QString phrase)
{
    HistoryStore store(baseDir_, HistoryStore::Access::ReadOnly);
    RankHistory history(store);
    std::set<std::string> sites, phrases;
    for (const auto& [knownSite, knownPhrase] : history.selections()) {
        sites.insert(knownSite);
        phrases.insert(knownPhrase);
    }
    if (site.isEmpty())
        site = historysite->currentText();
    if (phrase.isEmpty())
        phrase = historyphrase->currentText();
    {
        const QSignalBlocker a(historysite), b(historyphrase);
        historysite->clear();
        historyphrase->clear();
        for (const std::string& s : sites)
            historysite->addItem(q(s));
        for (const std::string& p : phrases)
            historyphrase->addItem(q(p));
        if (!site.isEmpty())
            historysite->setCurrentText(site);
        if (!phrase.isEmpty())
            historyphrase->setCurrentText(phrase);
    }
    showHistory();
}

void RankTrackerWindow::showHistory()
{
    QChart* c = chart->chart();
    c->removeAllSeries();
    for (QAbstractAxis* axis : c->axes())
        c->removeAxis(axis);
    competitors->setRowCount(0);
    bestlabel->clear();
    changelabel->clear();
    chartPoints_ = chartGaps_ = 0;
    const std::string site = historysite->currentText().toStdString();
    const std::string phrase = historyphrase->currentText().toStdString();
    if (site.empty() || phrase.empty())
        return;

    HistoryStore store(baseDir_, HistoryStore::Access::ReadOnly);
    RankHistory history(store);
    const auto series = history.series(site, phrase);

    auto* timeAxis = new QDateTimeAxis;
    timeAxis->setFormat(QStringLiteral("yyyy-MM-dd"));
    auto* placeAxis = new QValueAxis;
    placeAxis->setReverse(true);  // place 1 on top
    placeAxis->setLabelFormat(QStringLiteral("%d"));
    c->addAxis(timeAxis, Qt::AlignBottom);
    c->addAxis(placeAxis, Qt::AlignLeft);

    int worst = 1;
    qint64 first = 0, last = 0;
    for (const auto& [engine, points] : series)
        for (const RankPoint& p : points)
            worst = std::max(worst, p.place);
    const double gapRow = worst + 1;  // gaps are drawn below the last place
    std::string bestText;
    for (const auto& [engine, points] : series) {
        // A line per run of checks that found the site: a gap ends the line.
        // A history with very many gaps is drawn as one line that drops to
        // the gap row instead, so the chart stays quick to draw.
        // A long history is drawn by stretches (see thinRankSeries); the counts are the checks'.
        const std::vector<RankPoint> drawn = thinRankSeries(points, kMostChartPoints);
        for (const RankPoint& p : points)
            ++(p.place > 0 ? chartPoints_ : chartGaps_);
        if (!points.empty()) {
            const qint64 from = static_cast<qint64>(points.front().seconds) * 1000;
            first = first == 0 ? from : std::min(first, from);
            last = std::max(last, static_cast<qint64>(points.back().seconds) * 1000);
        }
        const auto gapCount = std::count_if(drawn.begin(), drawn.end(), [](const RankPoint& p) { return p.place == 0; });
        const bool breakLines = gapCount <= kMostLineBreaks;
        QList<QPointF> run;
        QList<QPointF> gaps;
        bool firstLine = true;
        auto flush = [&] {
            if (run.isEmpty())
                return;
            auto* line = new QLineSeries;
            line->setName(q(engine));
            line->replace(run);
            line->setPointsVisible(run.size() == 1);
            c->addSeries(line);
            line->attachAxis(timeAxis);
            line->attachAxis(placeAxis);
            // The legend names each engine once, at its first line.
            for (QLegendMarker* m : c->legend()->markers(line))
                m->setVisible(firstLine);
            firstLine = false;
            run.clear();
        };
        for (const RankPoint& p : drawn) {
            const qint64 ms = static_cast<qint64>(p.seconds) * 1000;
            if (p.place > 0) {
                run.append(QPointF(static_cast<double>(ms), p.place));
            } else {
                if (breakLines)
                    flush();
                else
                    run.append(QPointF(static_cast<double>(ms), gapRow));
                gaps.append(QPointF(static_cast<double>(ms), gapRow));
            }
        }
        flush();
        if (!gaps.isEmpty()) {
            auto* marks = new QScatterSeries;
            marks->setName(q(engine) + QStringLiteral(": not found, blocked or not recognised"));
            marks->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
            marks->setMarkerSize(7);
            marks->replace(gaps);
            c->addSeries(marks);
            marks->attachAxis(timeAxis);
            marks->attachAxis(placeAxis);
        }
        const RankSummary summary = summarizeRank(points);
        bestText += (bestText.empty() ? "" : "; ") + engine + " " +
                    (summary.best > 0 ? std::to_string(summary.best) : std::string("never found"));
        QString change;
        if (!summary.hasPrevious)
            change = QStringLiteral("first check");
        else if (summary.latest == 0 || summary.previous == 0)
            change = summary.latest == 0 ? QStringLiteral("not found now") : QStringLiteral("found again");
        else if (summary.change() == 0)
            change = QStringLiteral("unchanged");
        else
            change = (summary.change() > 0 ? QStringLiteral("up ") : QStringLiteral("down ")) +
                     QString::number(std::abs(summary.change()));
        changelabel->setText(changelabel->text() + (changelabel->text().isEmpty() ? QString() : QStringLiteral("; ")) +
                             q(engine) + QStringLiteral(": ") + change);
    }
    placeAxis->setRange(0.5, gapRow + 0.5);
    if (first > 0)
        timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(first - 3600000),
                           QDateTime::fromMSecsSinceEpoch(last + 3600000));
    bestlabel->setText(QStringLiteral("Best place: ") + q(bestText));

    // The competitors of the latest check of this site and phrase.
    const RankCompetitors latest = history.latestCompetitors(site, phrase);
    competitorslabel->setText(latest.addresses.empty()
                                  ? QStringLiteral("Competitors at the latest check:")
                                  : QStringLiteral("Competitors at the latest check (") + q(latest.engine) +
                                        QStringLiteral(", ") + q(latest.time) + QStringLiteral("):"));
    for (std::size_t i = 0; i < latest.addresses.size(); ++i)
        appendRow(competitors, {QString::number(i + 1), q(latest.addresses[i])});
}

void RankTrackerWindow::exportCsv(const QString& file)
{
    HistoryStore store(baseDir_, HistoryStore::Access::ReadOnly);
    RankHistory history(store);
    const auto rows = history.checks({historysite->currentText().toStdString(),
                                      historyphrase->currentText().toStdString(), {}});
    writeFileAtomic(QFile::encodeName(file).toStdString(), rankResultsCsv(rows));
}

void RankTrackerWindow::exportClick()
{
    const SaveDialogSetup setup{"Export Rank History as CSV", {QStringLiteral("CSV files (*.csv *.CSV)")}, "csv",
                                "rank-history.csv"};
    const QString file = askForSaveFile(this, setup);
    if (file.isEmpty())
        return;
    guarded([&] { exportCsv(file); });
}

}  // namespace tolvan::app

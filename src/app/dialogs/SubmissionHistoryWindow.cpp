#include "app/dialogs/SubmissionHistoryWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include "app/ErrorHandler.h"
#include "app/TextConversion.h"
#include "app/dialogs/SaveFileDialog.h"
#include "history/CsvText.h"
#include "history/HistoryStore.h"
#include "util/Files.h"

namespace tolvan::app {

SubmissionHistoryWindow::SubmissionHistoryWindow(const std::string& baseDir, QWidget* parent)
    : QDialog(parent), baseDir_(baseDir)
{
    setObjectName(QStringLiteral("SubmissionHistoryWindow"));
    setWindowTitle(QStringLiteral("Submission History"));
    filterEdit = named(new QLineEdit, "filterEdit");
    filterEdit->setPlaceholderText(QStringLiteral("Filter: text in any column"));
    filterEdit->setClearButtonEnabled(true);
    model_ = new QStandardItemModel(this);
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model_);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    proxy_->setFilterKeyColumn(-1);
    proxy_->setSortCaseSensitivity(Qt::CaseInsensitive);
    table = named(new QTableView, "table");
    table->setModel(proxy_);
    table->setSortingEnabled(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    exportButton = named(new QPushButton(QStringLiteral("Export CSV...")), "exportButton");
    refreshButton = named(new QPushButton(QStringLiteral("Refresh")), "refreshButton");
    countLabel = named(new QLabel, "countLabel");
    auto* close = named(new QPushButton(QStringLiteral("Close")), "closeButton");

    auto* top = new QHBoxLayout;
    top->addWidget(filterEdit, 1);
    top->addWidget(refreshButton);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(countLabel, 1);
    bottom->addWidget(exportButton);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table, 1);
    layout->addLayout(bottom);
    resize(900, 500);

    connect(filterEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        proxy_->setFilterFixedString(text);
        countLabel->setText(QStringLiteral("%1 of %2 requests").arg(proxy_->rowCount()).arg(model_->rowCount()));
    });
    connect(refreshButton, &QPushButton::clicked, this, [this] { guarded([this] { reload(); }); });
    connect(exportButton, &QPushButton::clicked, this, [this] { guarded([this] { exportClick(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    reload();
}

void SubmissionHistoryWindow::reload()
{
    model_->clear();
    QStringList titles;
    for (const auto& title : submissionColumns())
        titles << fromUtf8(title);
    model_->setHorizontalHeaderLabels(titles);
    HistoryStore store(baseDir_, HistoryStore::Access::ReadOnly);
    for (const auto& row : store.submissions()) {
        QList<QStandardItem*> items;
        for (const auto& field : submissionFields(row))
            items << new QStandardItem(fromUtf8(field));
        model_->appendRow(items);
    }
    table->sortByColumn(0, Qt::DescendingOrder);
    table->resizeColumnsToContents();
    QString count = QStringLiteral("%1 of %2 requests").arg(proxy_->rowCount()).arg(model_->rowCount());
    if (!store.problem().empty())
        count = fromUtf8(store.notice());
    countLabel->setText(count);
}

void SubmissionHistoryWindow::exportCsv(const QString& file) const
{
    std::string text = csvLine(submissionColumns());
    for (int r = 0; r < proxy_->rowCount(); ++r) {
        std::vector<std::string> fields;
        for (int c = 0; c < proxy_->columnCount(); ++c)
            fields.push_back(toUtf8(proxy_->index(r, c).data().toString()));
        text += csvLine(fields);
    }
    writeFileAtomic(toUtf8(file), text);
}

void SubmissionHistoryWindow::exportClick()
{
    const QString file = askForSaveFile(this, {QStringLiteral("Export CSV"),
                                               {QStringLiteral("CSV files (*.csv *.CSV)"), QStringLiteral("All files (*)")},
                                               QStringLiteral("csv"), QStringLiteral("submission-history.csv")});
    if (!file.isEmpty())
        exportCsv(file);
}

}  // namespace tolvan::app

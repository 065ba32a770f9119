#pragma once
// "Submission History": every submission request kept in history.db, in a
// sortable table with a filter, and exported as CSV.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace tolvan::app {

class SubmissionHistoryWindow : public QDialog {
    Q_OBJECT
public:
    SubmissionHistoryWindow(const std::string& baseDir, QWidget* parent = nullptr);

    // Reads the history again.
    void reload();
    // Writes the rows as the table shows them (filtered, sorted) to a CSV file.
    void exportCsv(const QString& file) const;
    void exportClick();

    QLineEdit* filterEdit = nullptr;
    QTableView* table = nullptr;
    QPushButton* exportButton = nullptr;
    QPushButton* refreshButton = nullptr;
    QLabel* countLabel = nullptr;

private:
    std::string baseDir_;
    QStandardItemModel* model_ = nullptr;
    QSortFilterProxyModel* proxy_ = nullptr;
};

}  // namespace tolvan::app

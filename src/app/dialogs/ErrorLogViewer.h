#pragma once
// "Tolvan Error Log": a non-modal viewer of error.log; each press of View Error
// Log opens another one.
#include <QDialog>
#include <QPointer>

class QListWidget;

namespace tolvan::app {

class ErrorLogViewer : public QDialog {
    Q_OBJECT
public:
    ErrorLogViewer(const QString& baseDir, QWidget* parent = nullptr);

    // View Error Log: a new viewer showing the log, or the message when there is none.
    static void open(const QString& baseDir, QWidget* parent);
    // Clear Error Log (either button): the log becomes its header line, the
    // viewer's list (the newest viewer's, for the Options page button) empties.
    static void clearLog(const QString& baseDir, QWidget* parent, ErrorLogViewer* viewer);
    static ErrorLogViewer* newest();

    QListWidget* lTrace;

private:
    QString baseDir_;
    static QPointer<ErrorLogViewer> newest_;
};

}  // namespace tolvan::app

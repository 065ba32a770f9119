#include "app/dialogs/ErrorLogViewer.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ErrorHandler.h"
#include "app/Messages.h"
#include "submit/ErrorLog.h"

namespace tolvan::app {

QPointer<ErrorLogViewer> ErrorLogViewer::newest_;

ErrorLogViewer::ErrorLogViewer(const QString& baseDir, QWidget* parent) : QDialog(parent), baseDir_(baseDir)
{
    setObjectName("Tlogview");
    setWindowTitle("Tolvan Error Log");
    setAttribute(Qt::WA_DeleteOnClose, false);
    lTrace = new QListWidget(this);
    lTrace->setObjectName("lTrace");
    lTrace->setToolTip("Click the View Error Log Button to see the error log.");
    auto* close = new QPushButton("Close", this);
    close->setObjectName("BitBtn1");
    auto* clear = new QPushButton("Clear Error Log", this);
    clear->setObjectName("BitBtn8");
    clear->setToolTip("Delete Tolvan ErrorLog File.");
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    connect(clear, &QPushButton::clicked, this, [this] { guarded([this] { clearLog(baseDir_, this, this); }); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clear);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lTrace);
    layout->addLayout(buttons);
    resize(560, 360);
}

void ErrorLogViewer::open(const QString& baseDir, QWidget* parent)
{
    const ErrorLog log(baseDir.toStdString());
    if (!log.exists()) {
        showMessage(parent, "There is no error log to view");
        return;
    }
    auto* viewer = new ErrorLogViewer(baseDir, parent);
    for (const auto& line : log.lines())
        viewer->lTrace->addItem(QString::fromStdString(line));
    newest_ = viewer;
    viewer->show();
}

void ErrorLogViewer::clearLog(const QString& baseDir, QWidget* parent, ErrorLogViewer* viewer)
{
    ErrorLog(baseDir.toStdString()).clear();
    if (viewer)
        viewer->lTrace->clear();
    showMessage(parent, "Error Log Cleared");
}

ErrorLogViewer* ErrorLogViewer::newest() { return newest_; }

}  // namespace tolvan::app

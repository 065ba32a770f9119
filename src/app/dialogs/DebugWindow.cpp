#include "app/dialogs/DebugWindow.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "app/ErrorHandler.h"
#include "util/Files.h"

namespace tolvan::app {

DebugWindow::DebugWindow(const QString& baseDir, QWidget* parent) : QDialog(parent), baseDir_(baseDir)
{
    setObjectName("Tdebugfrm");
    setWindowTitle("HTTP Responses");
    HTML1 = new QTextBrowser(this);
    HTML1->setObjectName("HTML1");
    HTML1->setOpenLinks(false);
    debuglist = new QPlainTextEdit(this);
    debuglist->setObjectName("debuglist");
    debuglist->setReadOnly(true);
    debuglist->setMaximumHeight(60);
    auto* close = new QPushButton("Close", this);
    close->setObjectName("Button1");
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(HTML1, 1);
    layout->addWidget(debuglist);
    layout->addWidget(close, 0, Qt::AlignRight);
    resize(640, 480);
}

void DebugWindow::startTransfer(const QString& engine) { setWindowTitle(engine); }

void DebugWindow::transfer(const QByteArray& piece)
{
    pieces_ << piece;
    debuglist->appendPlainText(QString::fromUtf8(piece));
}

void DebugWindow::endTransfer()
{
    guarded([this] {
        // The answer as it came: the pieces are lines of the memo only, so no
        // line break may be added where one piece ends and the next begins.
        QByteArray body;
        for (const auto& piece : pieces_)
            body += piece;
        const std::string file = joinPath(baseDir_.toStdString(), "temp.htm");
        writeFileAtomic(file, std::string_view(body.constData(), static_cast<std::size_t>(body.size())));
        HTML1->setSource(QUrl::fromLocalFile(QString::fromStdString(file)));
        HTML1->reload();
    });
    pieces_.clear();
    debuglist->clear();
}

}  // namespace tolvan::app

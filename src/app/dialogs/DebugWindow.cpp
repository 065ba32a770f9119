#include "app/dialogs/DebugWindow.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
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
    debuglist->setMaximumBlockCount(kMaxMemoLines);
    note = new QLabel(this);
    note->setObjectName("note");
    note->setWordWrap(true);
    note->hide();
    auto* close = new QPushButton("Close", this);
    close->setObjectName("Button1");
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(HTML1, 1);
    layout->addWidget(debuglist);
    layout->addWidget(note);
    layout->addWidget(close, 0, Qt::AlignRight);
    resize(640, 480);

    // Pieces reach the memo in bulk a few times a second: one append per
    // piece made a large answer take minutes and froze the window.
    memoTimer_ = new QTimer(this);
    memoTimer_->setSingleShot(true);
    memoTimer_->setInterval(100);
    connect(memoTimer_, &QTimer::timeout, this, &DebugWindow::flushMemo);
}

void DebugWindow::startTransfer(const QString& engine) { setWindowTitle(engine); }

void DebugWindow::transfer(const QByteArray& piece)
{
    pieces_ << piece;
    keptBytes_ += piece.size();
    while (keptBytes_ > kMaxKeptBytes && pieces_.size() > 1) {
        keptBytes_ -= pieces_.front().size();
        droppedBytes_ += pieces_.front().size();
        pieces_.removeFirst();
    }
    pendingLines_ << QString::fromUtf8(piece);
    if (pendingLines_.size() > kMaxMemoLines)
        pendingLines_.removeFirst();
    if (!memoTimer_->isActive())
        memoTimer_->start();
}

void DebugWindow::flushMemo()
{
    if (pendingLines_.isEmpty())
        return;
    debuglist->appendPlainText(pendingLines_.join(QLatin1Char('\n')));
    pendingLines_.clear();
}

void DebugWindow::endTransfer()
{
    memoTimer_->stop();
    flushMemo();
    if (droppedBytes_ > 0) {
        note->setText(QStringLiteral("This response was too large to keep whole: only its last %1 MB are shown "
                                     "(%2 bytes before them were dropped).")
                          .arg(kMaxKeptBytes >> 20)
                          .arg(droppedBytes_));
        note->show();
    } else {
        note->hide();
    }
    guarded([this] {
        // The answer as it came: the pieces are lines of the memo only, so no
        // line break may be added where one piece ends and the next begins.
        QByteArray body;
        body.reserve(keptBytes_);
        for (const auto& piece : pieces_)
            body += piece;
        const std::string file = joinPath(baseDir_.toStdString(), "temp.htm");
        writeFileAtomic(file, std::string_view(body.constData(), static_cast<std::size_t>(body.size())));
        HTML1->setSource(QUrl::fromLocalFile(QString::fromStdString(file)));
        HTML1->reload();
    });
    pieces_.clear();
    keptBytes_ = 0;
    droppedBytes_ = 0;
    debuglist->clear();
}

}  // namespace tolvan::app

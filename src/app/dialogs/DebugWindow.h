#pragma once
// "HTTP Responses": shows the last server answer of a submission as a page.
// A large answer is kept only in part: its last kMaxKeptBytes, which the
// window says in its note line.
#include <QByteArray>
#include <QDialog>
#include <QList>
#include <QStringList>

class QLabel;
class QTextBrowser;
class QPlainTextEdit;
class QTimer;

namespace tolvan::app {

class DebugWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr qsizetype kMaxKeptBytes = 2 << 20;
    // At most this many of the latest pieces stay in the memo at a time.
    static constexpr int kMaxMemoLines = 500;

    DebugWindow(const QString& baseDir, QWidget* parent = nullptr);

    // The answer's body begins / arrives piece by piece / has ended.
    void startTransfer(const QString& engine);
    void transfer(const QByteArray& piece);
    void endTransfer();

    QTextBrowser* HTML1;
    QPlainTextEdit* debuglist;
    QLabel* note;  // says when an answer was too large to keep whole

private:
    void flushMemo();

    QString baseDir_;
    QList<QByteArray> pieces_;   // the latest pieces, at most kMaxKeptBytes
    qsizetype keptBytes_ = 0;
    qint64 droppedBytes_ = 0;
    QStringList pendingLines_;   // pieces not yet in the memo
    QTimer* memoTimer_;
};

}  // namespace tolvan::app

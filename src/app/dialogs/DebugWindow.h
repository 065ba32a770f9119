#pragma once
// "HTTP Responses": shows the last server answer of a submission as a page.
#include <QDialog>
#include <QStringList>

class QTextBrowser;
class QPlainTextEdit;

namespace tolvan::app {

class DebugWindow : public QDialog {
    Q_OBJECT
public:
    DebugWindow(const QString& baseDir, QWidget* parent = nullptr);

    // The answer's body begins / arrives piece by piece / has ended.
    void startTransfer(const QString& engine);
    void transfer(const QByteArray& piece);
    void endTransfer();

    QTextBrowser* HTML1;
    QPlainTextEdit* debuglist;

private:
    QString baseDir_;
    QList<QByteArray> pieces_;
};

}  // namespace tolvan::app

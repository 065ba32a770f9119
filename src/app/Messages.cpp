#include "app/Messages.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

#include "app/AppInfo.h"
#include "app/TerminationSignals.h"

namespace tolvan::app {

namespace {

void show(QMessageBox::Icon icon, QWidget* parent, const QString& caption, const QString& text)
{
    if (TerminationSignals::requested()) {
        std::fprintf(stderr, "tolvan: %s\n", text.toLocal8Bit().constData());
        return;
    }
    if (!parent)
        parent = QApplication::activeWindow();
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

}  // namespace

void showMessage(QWidget* parent, const QString& text)
{
    show(QMessageBox::Information, parent, QString::fromLatin1(kAppTitle), text);
}

void showMessage(QWidget* parent, const QString& caption, const QString& text)
{
    show(QMessageBox::Information, parent, caption, text);
}

void showNotice(QWidget* parent, const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Information, QString::fromLatin1(kAppTitle), text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("noticeBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void showError(QWidget* parent, const QString& text)
{
    show(QMessageBox::Critical, parent, QString::fromLatin1(kAppTitle), text);
}

}  // namespace tolvan::app

#include "widgets/SiteAddresses.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include "app/AppInfo.h"
#include "storage/LineList.h"
#include "util/Errors.h"

namespace tolvan::widgets {

bool loadSavedAddresses(QComboBox* box, const QString& baseDir)
{
    const QString file = QDir(baseDir).filePath(QStringLiteral("sites/tlxurls.tlx"));
    if (!QFileInfo::exists(file))
        return false;
    LineList lines;
    try {
        lines = readLineList(file.toStdString());
    } catch (const TolvanError& e) {
        QMessageBox::critical(box->window(), QString::fromLatin1(app::kAppTitle), QString::fromStdString(e.what()));
        return false;
    }
    const QString text = box->currentText();
    const QSignalBlocker block(box);
    box->clear();
    for (const std::string& line : lines)
        box->addItem(QString::fromStdString(line));
    box->setCurrentIndex(-1);
    box->setEditText(text);
    return true;
}

}  // namespace tolvan::widgets

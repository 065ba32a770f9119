#include "widgets/SiteAddresses.h"

#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QVariant>

#include "app/AppInfo.h"
#include "storage/LineList.h"
#include "util/Errors.h"
#include "util/Files.h"

namespace tolvan::widgets {

namespace {

// The version of the address file a box was last filled from. Every write of
// that file replaces it (new inode), so an unchanged identity with an unchanged
// item count means the box already holds exactly its lines.
const char* kFilledFrom = "tolvanAddressFileIdentity";

QString identityText(const FileIdentity& id, int count)
{
    return QStringLiteral("%1:%2:%3:%4:%5")
        .arg(id.device)
        .arg(id.inode)
        .arg(id.size)
        .arg(id.mtimeNs)
        .arg(count);
}

}  // namespace

bool loadSavedAddresses(QComboBox* box, const QString& baseDir)
{
    const std::string file = QDir(baseDir).filePath(QStringLiteral("sites/tlxurls.tlx")).toStdString();
    const FileIdentity id = fileIdentity(file);
    if (id.size < 0 || !fileExists(file))
        return false;
    if (box->property(kFilledFrom).toString() == identityText(id, box->count()))
        return true;  // nothing changed since the last fill: the page change costs nothing
    LineList lines;
    try {
        lines = readLineList(file);
    } catch (const TolvanError& e) {
        QMessageBox::critical(box->window(), QString::fromLatin1(app::kAppTitle), QString::fromStdString(e.what()));
        return false;
    }
    QStringList items;
    items.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines)
        items << QString::fromStdString(line);
    const QString text = box->currentText();
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(-1);
    box->setEditText(text);
    box->setProperty(kFilledFrom, identityText(id, box->count()));
    return true;
}

}  // namespace tolvan::widgets

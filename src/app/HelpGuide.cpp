#include "app/HelpGuide.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "util/Errors.h"

// The guide is compiled into the GUI library, a static library: its resources
// must be registered by hand.
static void registerHelpResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace tolvan::app {

QString installHelpGuide(const QString& directory)
{
    registerHelpResources();
    QString target = directory;
    if (target.isEmpty())
        target = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                 QStringLiteral("/tolvan/help");
    if (!QDir().mkpath(target))
        throw FileError(target.toStdString(), "Cannot create the directory");

    QDirIterator it(QStringLiteral(":/help"), QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        if (!it.fileInfo().isFile())
            continue;
        const QString relative = source.mid(QStringLiteral(":/help/").size());
        const QString path = target + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile in(source);
        QSaveFile out(path);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly) || out.write(in.readAll()) < 0 ||
            !out.commit())
            throw FileError(path.toStdString(), out.errorString().toStdString());
    }
    const QString index = target + QStringLiteral("/index.html");
    if (!QFile::exists(index))
        throw FileError(index.toStdString(), "The user guide is missing from this build");
    return index;
}

}  // namespace tolvan::app

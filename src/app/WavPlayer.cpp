#include "app/WavPlayer.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace tolvan::app {

void playWavSync(const QString& file)
{
    if (!QFileInfo(file).isFile())
        return;
    // The desktop's sound server first, then ALSA directly.
    for (const char* player : {"paplay", "aplay"}) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(player));
        if (program.isEmpty())
            continue;
        QStringList args;
        if (QString::fromLatin1(player) == "aplay")
            args << "-q";
        args << file;
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(program, args);
        if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0)
            return;
    }
}

}  // namespace tolvan::app

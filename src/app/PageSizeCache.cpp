#include "app/PageSizeCache.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QStandardPaths>
#include <QStyle>
#include <QTabBar>

#include <sys/stat.h>

#include <cstdio>

#include <vector>

namespace tolvan::app {

namespace {

constexpr int kKeptSizes = 16;

// Gathers what goes into a key, then hashes it in one go.
class Digest {
public:
    Digest& operator<<(const QString& text)
    {
        *this << static_cast<qint64>(text.size());  // so that "ab" + "c" differs from "a" + "bc"
        bytes_.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        return *this;
    }
    Digest& operator<<(const char* text) { return *this << QString::fromLatin1(text); }
    Digest& operator<<(qint64 value) { return append(value); }
    Digest& operator<<(int value) { return append(static_cast<qint64>(value)); }
    Digest& operator<<(bool value) { return append(static_cast<qint64>(value)); }
    Digest& operator<<(double value) { return append(value); }
    Digest& operator<<(const QSize& size) { return *this << size.width() << size.height(); }
    QString hex() const
    {
        return QString::fromLatin1(QCryptographicHash::hash(bytes_, QCryptographicHash::Blake2b_256).toHex());
    }

private:
    template <typename T>
    Digest& append(T value)
    {
        bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
        return *this;
    }
    QByteArray bytes_;
};

// The running build: its executable's identity changes with every build and
// every installation.
void addExecutable(Digest& digest)
{
    const QString path = QCoreApplication::applicationFilePath();
    digest << path;
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
        digest << static_cast<qint64>(info.st_size) << static_cast<qint64>(info.st_ino)
               << static_cast<qint64>(info.st_mtim.tv_sec) << static_cast<qint64>(info.st_mtim.tv_nsec);
    }
}

void addFont(Digest& digest, const QFont& font)
{
    const QFontInfo resolved(font);
    const QFontMetricsF metrics(font);
    digest << font.toString() << resolved.family() << resolved.styleName() << resolved.pixelSize()
           << metrics.height() << metrics.ascent() << metrics.averageCharWidth() << metrics.maxWidth()
           << metrics.horizontalAdvance(QStringLiteral("Site Data Engines Submit Page Builder Search Ranking Options"));
}

void addWidget(Digest& digest, const QWidget& widget)
{
    const QSizePolicy policy = widget.sizePolicy();
    digest << widget.metaObject()->className() << widget.objectName() << widget.isHidden()
           << widget.testAttribute(Qt::WA_WState_ExplicitShowHide) << widget.minimumSize() << widget.maximumSize()
           << static_cast<int>(policy.horizontalPolicy()) << static_cast<int>(policy.verticalPolicy())
           << policy.horizontalStretch() << policy.verticalStretch() << policy.hasHeightForWidth()
           << widget.testAttribute(Qt::WA_SetFont);
    if (widget.testAttribute(Qt::WA_SetFont))
        digest << widget.font().toString();
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        digest << label->text() << label->wordWrap() << static_cast<int>(label->alignment()) << label->margin()
               << label->indent() << label->frameWidth();
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        digest << button->text();
    } else if (const auto* group = qobject_cast<const QGroupBox*>(&widget)) {
        digest << group->title();
    } else if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) {
        digest << combo->count();
        for (int i = 0; i < combo->count(); ++i)
            digest << combo->itemText(i);
    } else if (const auto* tabs = qobject_cast<const QTabBar*>(&widget)) {
        digest << tabs->count();
        for (int i = 0; i < tabs->count(); ++i)
            digest << tabs->tabText(i);
    }
}

struct Entry {
    QString key;
    QSize size;
};

std::vector<Entry> readEntries(const QString& file)
{
    std::vector<Entry> entries;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return entries;
    const QList<QByteArray> lines = in.read(64 * 1024).split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 3)
            continue;
        bool widthOk = false;
        bool heightOk = false;
        const int width = fields[1].toInt(&widthOk);
        const int height = fields[2].toInt(&heightOk);
        if (!widthOk || !heightOk || width <= 0 || height <= 0 || fields[0].isEmpty())
            continue;
        entries.push_back({QString::fromLatin1(fields[0]), QSize(width, height)});
    }
    return entries;
}

}  // namespace

PageSizeCache::PageSizeCache(QString file) : file_(std::move(file)) {}

QString PageSizeCache::defaultFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/tolvan/page-sizes");
}

QString PageSizeCache::keyFor(const QWidget& pages)
{
    Digest digest;
    digest << "page-sizes 1" << qVersion() << QGuiApplication::platformName() << qApp->style()->name()
           << qApp->styleSheet() << pages.logicalDpiX() << pages.logicalDpiY() << pages.devicePixelRatioF();
    addExecutable(digest);
    addFont(digest, QApplication::font());
    addWidget(digest, pages);
    for (const QWidget* widget : pages.findChildren<QWidget*>())
        addWidget(digest, *widget);
    return digest.hex();
}

std::optional<QSize> PageSizeCache::find(const QString& key) const
{
    for (const Entry& entry : readEntries(file_)) {
        if (entry.key == key)
            return entry.size;
    }
    return std::nullopt;
}

void PageSizeCache::keep(const QString& key, const QSize& size) const
{
    if (key.isEmpty() || key.contains(QLatin1Char(' ')) || key.contains(QLatin1Char('\n')) || !size.isValid())
        return;
    const auto line = [](const QString& lineKey, const QSize& lineSize) {
        return lineKey.toLatin1() + ' ' + QByteArray::number(lineSize.width()) + ' ' +
               QByteArray::number(lineSize.height()) + '\n';
    };
    QByteArray text = line(key, size);
    int kept = 1;
    for (const Entry& entry : readEntries(file_)) {
        if (kept == kKeptSizes)
            break;
        if (entry.key != key) {
            text += line(entry.key, entry.size);
            ++kept;
        }
    }
    if (!QDir().mkpath(QFileInfo(file_).absolutePath()))
        return;
    // Written beside and renamed over the old file, without waiting for the
    // disk: a file cut short by a crash only loses lines, which are skipped.
    const QString temporary = file_ + QStringLiteral(".%1.tmp").arg(QCoreApplication::applicationPid());
    QFile out(temporary);
    const bool written = out.open(QIODevice::WriteOnly) && out.write(text) == text.size() && out.flush();
    out.close();
    if (!written || ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(file_).constData()) != 0)
        QFile::remove(temporary);
}

}  // namespace tolvan::app

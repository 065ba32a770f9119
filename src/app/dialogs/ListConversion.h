#pragma once
// The core keeps UTF-8 std::strings; the dialogs show QStrings.
#include <QStringList>

#include <string>
#include <vector>

namespace tolvan::app {

inline std::string toUtf8(const QString& s) { return s.toStdString(); }
inline QString fromUtf8(const std::string& s) { return QString::fromStdString(s); }

inline std::vector<std::string> toLines(const QStringList& list)
{
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(list.size()));
    for (const QString& s : list)
        out.push_back(s.toStdString());
    return out;
}

inline QStringList fromLines(const std::vector<std::string>& lines)
{
    QStringList out;
    out.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& s : lines)
        out << QString::fromStdString(s);
    return out;
}

}  // namespace tolvan::app

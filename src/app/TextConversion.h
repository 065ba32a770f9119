#pragma once
// The core keeps UTF-8 std::strings; the window shows QStrings.
#include <QStringList>
#include <QWidget>

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

// Gives a widget its component name and hands it back, for building forms.
template <typename W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace tolvan::app

#pragma once
// The size the main window's pages need, kept between runs. Finding it means
// measuring the text of every widget on all seven pages, which is most of what
// start-up costs; with a kept size the hidden pages are measured only when they
// are first shown.
//
// A size is kept under a key that digests everything the measurement depends
// on: the program's executable (so any new build), Qt's version, the platform,
// style and style sheet, the application font as resolved and measured, the
// screen's resolution, and every widget of the pages with its class, name,
// visibility, size limits, size policy, own font and shown text (captions,
// titles, list entries, tab captions). Any change of these misses the kept
// size and the pages are measured again. The file holds the sixteen most
// recent keys, newest first, one "key width height" line each; it is only a
// cache: a file that cannot be read is as good as none, and one that cannot be
// written is no error.
#include <QSize>
#include <QString>

#include <optional>

class QWidget;

namespace tolvan::app {

class PageSizeCache {
public:
    explicit PageSizeCache(QString file = defaultFile());

    // $XDG_CACHE_HOME/tolvan/page-sizes (~/.cache/tolvan/page-sizes).
    static QString defaultFile();
    // The digest of what the minimum size of pages (a page control and all
    // its widgets, polished) depends on.
    static QString keyFor(const QWidget& pages);

    std::optional<QSize> find(const QString& key) const;
    void keep(const QString& key, const QSize& size) const;

private:
    QString file_;
};

}  // namespace tolvan::app

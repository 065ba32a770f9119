#pragma once
// Big text lists (thousands of engines) without measuring every item at every
// layout: all rows take one height and the width of the widest text, so the
// horizontal scroll bar still reaches the end of the longest name.
#include <QStyledItemDelegate>

#include <QFont>
#include <QFontMetrics>
#include <QHash>

#include <array>
#include <map>

class QListView;

namespace tolvan::widgets {

// Turns on uniform item sizes for `list` and gives it a delegate whose size hint
// is the sample row's height and the widest text's width. A text's width is the
// sum of its characters' advances (each character measured once per font), so
// thousands of texts are not each shaped: kerning only narrows a text, so the
// sum is never short of it and the widest name is never cut. The widths are
// kept in a count per width, updated as rows come and go; a reset, a change of
// item texts or of the list's font measures all of them again.
class UniformRows : public QStyledItemDelegate {
    Q_OBJECT
public:
    static UniformRows* install(QListView* list);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The widest text's width in pixels (for tests).
    int widestText() const;

private:
    explicit UniformRows(QListView* list);
    void add(int first, int last, int sign) const;
    int textWidth(const QFontMetrics& metrics, const QString& text) const;
    void remeasure() const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    QListView* list_;
    mutable std::map<int, int> widths_;  // text width -> number of rows of that width
    mutable bool stale_ = true;
    mutable QFont font_;                       // the font the advances below belong to
    mutable std::array<int, 256> latin1_{};    // advance + 1 of each Latin-1 character, 0: not measured
    mutable QHash<char16_t, int> otherChars_;
};

}  // namespace tolvan::widgets

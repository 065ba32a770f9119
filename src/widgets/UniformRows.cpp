#include "widgets/UniformRows.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QFontMetrics>
#include <QListView>

#include <algorithm>

namespace tolvan::widgets {

UniformRows* UniformRows::install(QListView* list)
{
    auto* rows = new UniformRows(list);
    list->setItemDelegate(rows);
    list->setUniformItemSizes(true);
    return rows;
}

UniformRows::UniformRows(QListView* list) : QStyledItemDelegate(list), list_(list)
{
    QAbstractItemModel* model = list->model();
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (!parent.isValid())
                    add(first, last, +1);
            });
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (!parent.isValid())
                    add(first, last, -1);
            });
    // Sorting moves rows but changes no width.
    connect(model, &QAbstractItemModel::modelReset, this, [this] { stale_ = true; });
    connect(model, &QAbstractItemModel::dataChanged, this, [this] { stale_ = true; });
    list->installEventFilter(this);
}

bool UniformRows::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
        stale_ = true;
    return QStyledItemDelegate::eventFilter(watched, event);
}

int UniformRows::textWidth(const QFontMetrics& metrics, const QString& text) const
{
    int width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isSurrogate()) {  // a pair is measured whole
            const qsizetype n = (c.isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
            width += metrics.horizontalAdvance(text.mid(i, n));
            i += n - 1;
        } else if (c.unicode() < latin1_.size()) {
            int& known = latin1_[c.unicode()];
            if (known == 0)
                known = metrics.horizontalAdvance(c) + 1;
            width += known - 1;
        } else {
            auto it = otherChars_.constFind(c.unicode());
            if (it == otherChars_.constEnd())
                it = otherChars_.insert(c.unicode(), metrics.horizontalAdvance(c));
            width += *it;
        }
    }
    return width;
}

void UniformRows::add(int first, int last, int sign) const
{
    if (stale_)
        return;  // all rows are measured at the next size hint
    const QAbstractItemModel* model = list_->model();
    const QFontMetrics metrics(font_);
    for (int row = first; row <= last; ++row) {
        const int width = textWidth(metrics, model->index(row, 0).data(Qt::DisplayRole).toString());
        auto it = widths_.try_emplace(width, 0).first;
        it->second += sign;
        if (it->second <= 0)
            widths_.erase(it);
    }
}

void UniformRows::remeasure() const
{
    widths_.clear();
    stale_ = false;
    if (font_ != list_->font() || font_.resolveMask() != list_->font().resolveMask()) {
        font_ = list_->font();
        latin1_.fill(0);
        otherChars_.clear();
    }
    const int rows = list_->model()->rowCount();
    if (rows > 0)
        add(0, rows - 1, +1);
}

int UniformRows::widestText() const
{
    if (stale_)
        remeasure();
    return widths_.empty() ? 0 : widths_.rbegin()->first;
}

QSize UniformRows::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // The sample row's own hint gives the height and the room around its text.
    QSize hint = QStyledItemDelegate::sizeHint(option, index);
    const int own = QFontMetrics(option.font).horizontalAdvance(index.data(Qt::DisplayRole).toString());
    hint.setWidth(hint.width() - own + std::max(own, widestText()));
    return hint;
}

}  // namespace tolvan::widgets

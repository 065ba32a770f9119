#include "app/dialogs/SimpleComboBox.h"

#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include "widgets/UniformRows.h"

namespace tolvan::app {

SimpleComboBox::SimpleComboBox(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), list_(new QListWidget(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(edit_);
    layout->addWidget(list_);
    edit_->setObjectName(QStringLiteral("edit"));
    list_->setObjectName(QStringLiteral("list"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Thousands of saved names are not each measured when the list lays out.
    widgets::UniformRows::install(list_);
    setFocusProxy(edit_);

    connect(list_, &QListWidget::currentTextChanged, this, [this](const QString& current) {
        if (!current.isNull())
            edit_->setText(current);
    });
    connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        edit_->setText(item->text());
        emit doubleClicked();
    });
}

QString SimpleComboBox::text() const { return edit_->text(); }
void SimpleComboBox::setText(const QString& text) { edit_->setText(text); }

QStringList SimpleComboBox::items() const
{
    QStringList out;
    for (int i = 0; i < list_->count(); ++i)
        out << list_->item(i)->text();
    return out;
}

void SimpleComboBox::setItems(const QStringList& items)
{
    const QString text = edit_->text();
    list_->clear();
    list_->addItems(items);
    edit_->setText(text);  // refilling the list must not change what was typed
}

}  // namespace tolvan::app

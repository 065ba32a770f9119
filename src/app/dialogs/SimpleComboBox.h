#pragma once
// A name box as the list dialogs use it: an edit line above an always-open list.
// Picking an entry puts its text into the edit line; a double click on an entry
// is announced so the dialog can treat it as OK.
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;

namespace tolvan::app {

class SimpleComboBox : public QWidget {
    Q_OBJECT
public:
    explicit SimpleComboBox(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);

    QStringList items() const;
    void setItems(const QStringList& items);

    QLineEdit* edit() const { return edit_; }
    QListWidget* list() const { return list_; }

signals:
    void doubleClicked();

private:
    QLineEdit* edit_;
    QListWidget* list_;
};

}  // namespace tolvan::app

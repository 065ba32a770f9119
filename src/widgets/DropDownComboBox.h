#pragma once
// An editable combo box that announces each opening of its list, so the
// entries can be refreshed just before they are shown.
#include <QComboBox>

namespace tolvan::widgets {

class DropDownComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DropDownComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}

    void showPopup() override
    {
        emit dropDown();
        QComboBox::showPopup();
    }

signals:
    void dropDown();
};

}  // namespace tolvan::widgets

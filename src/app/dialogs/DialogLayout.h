#pragma once
// The small name dialogs share one look: a caption, a prompt, a name box and a
// row of buttons; fixed size, centred on the screen.
#include <QDialog>
#include <QString>

#include <initializer_list>

class QLabel;
class QPushButton;

namespace tolvan::app {

class SimpleComboBox;

struct NameDialogParts {
    QLabel* prompt = nullptr;
    SimpleComboBox* nameBox = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
};

// Builds the controls; `extraButtons` go before OK and Cancel.
NameDialogParts buildNameDialog(QDialog* dialog, const QString& caption, const QString& prompt,
                                const char* nameBoxName, std::initializer_list<QPushButton*> extraButtons = {});

}  // namespace tolvan::app

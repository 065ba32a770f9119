#include "app/dialogs/DialogLayout.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/dialogs/SimpleComboBox.h"

namespace tolvan::app {

NameDialogParts buildNameDialog(QDialog* dialog, const QString& caption, const QString& prompt,
                                const char* nameBoxName, std::initializer_list<QPushButton*> extraButtons)
{
    NameDialogParts parts;
    dialog->setWindowTitle(caption);
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint);

    auto* layout = new QVBoxLayout(dialog);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    parts.prompt = new QLabel(prompt, dialog);
    parts.prompt->setObjectName(QStringLiteral("Label1"));
    parts.nameBox = new SimpleComboBox(dialog);
    parts.nameBox->setObjectName(QString::fromLatin1(nameBoxName));
    parts.nameBox->setMinimumSize(280, 160);
    parts.prompt->setBuddy(parts.nameBox);
    layout->addWidget(parts.prompt);
    layout->addWidget(parts.nameBox);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* extra : extraButtons) {
        extra->setParent(dialog);
        buttons->addWidget(extra);
    }
    parts.ok = new QPushButton(QStringLiteral("OK"), dialog);
    parts.ok->setObjectName(QStringLiteral("BitBtn1"));
    parts.ok->setDefault(true);
    parts.cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    parts.cancel->setObjectName(QStringLiteral("BitBtn2"));
    buttons->addWidget(parts.ok);
    buttons->addWidget(parts.cancel);
    layout->addLayout(buttons);
    QObject::connect(parts.cancel, &QPushButton::clicked, dialog, &QDialog::reject);

    dialog->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = dialog->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        dialog->move(frame.topLeft());
    }
    parts.nameBox->setFocus();
    return parts;
}

}  // namespace tolvan::app

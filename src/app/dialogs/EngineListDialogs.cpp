#include "app/dialogs/EngineListDialogs.h"

#include <QLabel>
#include <QPushButton>

#include "app/ErrorHandler.h"
#include "app/Messages.h"
#include "app/dialogs/DialogLayout.h"
#include "app/TextConversion.h"
#include "app/dialogs/SimpleComboBox.h"
#include "engines/EngineLists.h"

namespace tolvan::app {

Tsaveeng::Tsaveeng(const QString& baseDir, const QStringList& engines, QWidget* parent)
    : QDialog(parent), baseDir_(baseDir), engines_(engines)
{
    setObjectName(QStringLiteral("Tsaveeng"));
    const NameDialogParts parts = buildNameDialog(
        this, QStringLiteral("Save Engine List"),
        QStringLiteral("Enter a name for the engine list you wish to save:"), "savelist");
    Label1 = parts.prompt;
    savelist = parts.nameBox;
    BitBtn1 = parts.ok;
    BitBtn2 = parts.cancel;
    connect(BitBtn1, &QPushButton::clicked, this, &Tsaveeng::BitBtn1Click);

    guarded([&] { savelist->setItems(fromLines(EngineListFiles(toUtf8(baseDir_)).readNames())); });
}

void Tsaveeng::BitBtn1Click()
{
    guarded([&] {
        std::vector<std::string> names = toLines(savelist->items());
        const std::string refusal =
            EngineListFiles(toUtf8(baseDir_)).save(toUtf8(savelist->text()), names, toLines(engines_));
        if (!refusal.empty()) {
            showMessage(this, fromUtf8(refusal));
            return;
        }
        savelist->setItems(fromLines(names));
        accept();
    });
}

Tloadeng::Tloadeng(const QString& baseDir, QWidget* parent) : QDialog(parent), baseDir_(baseDir)
{
    setObjectName(QStringLiteral("Tloadeng"));
    auto* remove = new QPushButton(QStringLiteral("Delete"));
    remove->setObjectName(QStringLiteral("deletelist"));
    const NameDialogParts parts =
        buildNameDialog(this, QStringLiteral("Load Engine List"),
                        QStringLiteral("Please select an engine list to load:"), "loadlist", {remove});
    Label1 = parts.prompt;
    loadlist = parts.nameBox;
    deletelist = remove;
    BitBtn1 = parts.ok;
    BitBtn2 = parts.cancel;
    connect(BitBtn1, &QPushButton::clicked, this, &Tloadeng::BitBtn1Click);
    connect(deletelist, &QPushButton::clicked, this, &Tloadeng::deletelistClick);

    guarded([&] { loadlist->setItems(fromLines(EngineListFiles(toUtf8(baseDir_)).readNames())); });
}

void Tloadeng::BitBtn1Click()
{
    const bool ok = guarded([&] {
        const QString name = loadlist->text();
        if (const auto engines = EngineListFiles(toUtf8(baseDir_)).load(toUtf8(name)))
            loaded_ = fromLines(*engines);
        else if (!name.isEmpty())
            showMessage(this, QStringLiteral("There is no engine list by that name"));
    });
    if (ok)
        done(loaded_ ? QDialog::Accepted : QDialog::Rejected);
}

void Tloadeng::deletelistClick()
{
    guarded([&] {
        std::vector<std::string> names = toLines(loadlist->items());
        const std::string refusal = EngineListFiles(toUtf8(baseDir_)).remove(toUtf8(loadlist->text()), names);
        if (!refusal.empty()) {
            showMessage(this, fromUtf8(refusal));
            return;
        }
        loadlist->setItems(fromLines(names));
        loadlist->setText(QString());
    });
}

bool saveEngineListDialog(QWidget* parent, const QString& baseDir, const QStringList& engines)
{
    Tsaveeng dialog(baseDir, engines, parent);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<QStringList> loadEngineListDialog(QWidget* parent, const QString& baseDir)
{
    Tloadeng dialog(baseDir, parent);
    dialog.exec();
    return dialog.loadedEngines();
}

}  // namespace tolvan::app

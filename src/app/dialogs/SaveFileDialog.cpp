#include "app/dialogs/SaveFileDialog.h"

#include <QFileDialog>

namespace tolvan::app {

QString askForSaveFile(QWidget* parent, const SaveDialogSetup& setup)
{
    QFileDialog dialog(parent, setup.title);
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(setup.filters);
    dialog.setDefaultSuffix(setup.defaultSuffix);
    if (!setup.directory.isEmpty())
        dialog.setDirectory(setup.directory);
    dialog.selectFile(setup.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

}  // namespace tolvan::app

#pragma once
// The one "save as" dialog of the program's reports and pages.
#include <QString>
#include <QStringList>

class QWidget;

namespace tolvan::app {

struct SaveDialogSetup {
    QString title;
    QStringList filters;  // both letter cases: not every dialog matches without regard to case
    QString defaultSuffix;
    QString fileName;
    QString directory{};  // where it opens; empty: the dialog's own choice
};

// Asks before replacing an existing file. Returns the chosen file, or an empty
// string when the user cancelled.
QString askForSaveFile(QWidget* parent, const SaveDialogSetup& setup);

}  // namespace tolvan::app

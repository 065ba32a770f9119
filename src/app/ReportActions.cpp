#include "app/ReportActions.h"

#include <QFile>
#include <QFileDialog>
#include <QStringList>

#include "app/ErrorHandler.h"
#include "app/Messages.h"
#include "profiles/SiteProfile.h"
#include "reporting/HtmlReport.h"
#include "reporting/TextReport.h"
#include "submit/SubmissionRun.h"

namespace tolvan::app {

namespace {

struct SaveDialogSetup {
    const char* title;
    QStringList filters;  // upper and lower case: not every dialog matches without regard to case
    const char* defaultSuffix;
    const char* fileName;
};

// The save dialog; returns the chosen file, or an empty string when cancelled.
// The dialog asks before replacing an existing file.
QString askForReportFile(QWidget* parent, const SaveDialogSetup& setup)
{
    QFileDialog dialog(parent, QString::fromLatin1(setup.title));
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilters(setup.filters);
    dialog.setDefaultSuffix(QString::fromLatin1(setup.defaultSuffix));
    dialog.selectFile(QString::fromLatin1(setup.fileName));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

template <typename Writer>
bool saveByHand(QWidget* parent, SubmissionRun& run, const SaveDialogSetup& setup, const char* savedMessage,
                std::size_t sitesToSubmit, Writer write)
{
    run.autoReport = false;
    const QString file = askForReportFile(parent, setup);
    if (file.isEmpty())
        return false;
    const bool written = guarded([&] {
        write(QFile::encodeName(file).toStdString());
        showMessage(parent, QString::fromLatin1(savedMessage));
    });
    if (!written)
        return false;
    if (sitesToSubmit > 1)
        showMessage(parent, QString::fromLatin1(kMultiSiteNote));
    return true;
}

}  // namespace

bool BitBtn13Click(QWidget* parent, SubmissionRun& run, const SiteProfile& site,
                   const ReportSettings& settings, std::size_t sitesToSubmit)
{
    const SaveDialogSetup setup{"Save Tolvan Report as TEXT",
                                {QStringLiteral("Text files (*.TXT *.txt)")}, "TXT", "report.txt"};
    return saveByHand(parent, run, setup, "Your Text report has been saved", sitesToSubmit,
                      [&](const std::string& path) { savetext(site, run, settings, {}, path); });
}

bool BitBtn14Click(QWidget* parent, SubmissionRun& run, const SiteProfile& site,
                   const ReportSettings& settings, std::size_t sitesToSubmit)
{
    const SaveDialogSetup setup{"Save Tolvan Report as HTML",
                                {QStringLiteral("HTML files (*.HTM *.HTML *.htm *.html)")}, "HTM", "report.htm"};
    return saveByHand(parent, run, setup, "Your HTML report has been saved", sitesToSubmit,
                      [&](const std::string& path) { savehtm(site, run, settings, {}, path); });
}

}  // namespace tolvan::app

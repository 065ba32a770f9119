#include "app/ReportActions.h"

#include "app/dialogs/SaveFileDialog.h"

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

template <typename Writer>
bool saveByHand(QWidget* parent, SubmissionRun& run, const SaveDialogSetup& setup, const char* savedMessage,
                std::size_t sitesToSubmit, Writer write)
{
    run.autoReport = false;
    const QString file = askForSaveFile(parent, setup);
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

#include "app/dialogs/UpdateDialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/ErrorHandler.h"
#include "app/Messages.h"
#include "app/QtEventPump.h"
#include "app/TextConversion.h"
#include "app/pages/EnginesPage.h"
#include "storage/LineList.h"
#include "util/Files.h"
#include "widgets/LedNumber.h"

namespace tolvan::app {

UpdateDialog::UpdateDialog(QWidget* parent, const std::string& baseDir)
    : QDialog(parent), update_(baseDir, QtEventPump::instance(), this)
{
    setObjectName(QStringLiteral("geteng"));
    setWindowTitle(QStringLiteral("Update Data Files"));
    setModal(true);

    Button1 = named(new QPushButton(QStringLiteral("Start Update"), this), "Button1");
    Button1->setDefault(true);
    Label4 = named(new QLabel(QStringLiteral("Status:"), this), "Label4");
    Label4->setMinimumWidth(320);
    bar = named(new QProgressBar(this), "bar");
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    percent = named(new widgets::LedNumber(this, 3), "percent");
    percent->setBlankWhenZero(true);
    Label3 = named(new QLabel(QStringLiteral("% Complete"), this), "Label3");

    // Hidden state of the dialog: the address, the download file, the log.
    tURL = named(new QLineEdit(fromUtf8(update_.updateAddress()), this), "tURL");
    tDiskfile = named(new QLineEdit(this), "tDiskfile");
    lTrack = named(new QListWidget(this), "lTrack");
    Button2 = named(new QPushButton(QStringLiteral("unzip"), this), "Button2");
    for (QWidget* w : {static_cast<QWidget*>(tURL), static_cast<QWidget*>(tDiskfile),
                       static_cast<QWidget*>(lTrack), static_cast<QWidget*>(Button2)})
        w->hide();
    // FormCreate: the download file.
    tDiskfile->setText(fromUtf8(update_.diskFile()));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label4);
    layout->addWidget(bar);
    auto* row = new QHBoxLayout;
    row->addWidget(percent);
    row->addWidget(Label3);
    row->addStretch(1);
    row->addWidget(Button1);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button1, &QPushButton::clicked, this, &UpdateDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &UpdateDialog::Button2Click);

    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

UpdateDialog::~UpdateDialog() = default;

void UpdateDialog::Button1Click()
{
    if (update_.running())
        return;
    guarded([this] {
        update_.setUpdateAddress(toUtf8(tURL->text()));
        Button1->setEnabled(false);
        struct Restore {
            QPushButton* button;
            ~Restore() { button->setEnabled(true); }
        } restore{Button1};
        finish(update_.start());
    });
}

void UpdateDialog::Button2Click()
{
    if (update_.running())
        return;
    guarded([this] { finish(update_.extractStep()); });
}

void UpdateDialog::finish(UpdateOutcome outcome)
{
    // A successful update closes the dialog; anything else leaves it open
    // with its last status, so the user may try again or close it.
    if (outcome == UpdateOutcome::Complete && !closing_)
        accept();
}

void UpdateDialog::updateChanged()
{
    Label4->setText(fromUtf8(update_.status()));
    const UpdateBar& b = update_.bar();
    bar->setRange(b.minimum, b.maximum);
    bar->setValue(b.position);
    percent->setValue(update_.percent());

    // The log grows by lines, and a running byte count replaces its last line.
    const auto& log = update_.log();
    const int count = static_cast<int>(log.size());
    if (lTrack->count() > count)
        lTrack->clear();
    if (count > 0 && lTrack->count() > 0)
        lTrack->item(lTrack->count() - 1)->setText(fromUtf8(log[static_cast<std::size_t>(lTrack->count() - 1)]));
    for (int i = lTrack->count(); i < count; ++i)
        lTrack->addItem(fromUtf8(log[static_cast<std::size_t>(i)]));
}

void UpdateDialog::showMessage(const std::string& text)
{
    if (!closing_)
        app::showMessage(this, fromUtf8(text));
}

void UpdateDialog::reject()
{
    // Closing the window abandons a running download; an extraction stops
    // before it replaces anything.
    if (update_.running()) {
        closing_ = true;
        update_.cancel();
    }
    QDialog::reject();
}

void UpdateDialog::closeEvent(QCloseEvent* event)
{
    if (update_.running()) {
        closing_ = true;
        update_.cancel();
    }
    QDialog::closeEvent(event);
}

void reloadAvailableEngines(const std::string& baseDir, EnginesPage* engines)
{
    const std::string index = joinPath(baseDir, "data/sites.tlx");
    const std::string custom = joinPath(baseDir, "data/custeng.tlx");
    engines->setAvailableEngines(fileExists(index) ? fromLines(readLineList(index)) : QStringList());
    if (fileExists(custom))
        engines->addAvailableEngines(fromLines(readLineList(custom)));
    engines->showAvailableCount();
}

void UpdatebtnClick(QWidget* parent, const std::string& baseDir, EnginesPage* engines)
{
    {
        UpdateDialog dialog(parent, baseDir);
        dialog.exec();
    }
    guarded([&] { reloadAvailableEngines(baseDir, engines); });
}

}  // namespace tolvan::app

#include "app/dialogs/SignupDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/ErrorHandler.h"
#include "app/TextConversion.h"
#include "app/Messages.h"
#include "app/QtEventPump.h"
#include "net/HttpClient.h"
#include "net/RemoteHosts.h"
#include "signup/SignUp.h"

namespace tolvan::app {

SignupDialog::SignupDialog(QWidget* parent, const std::string& baseDir)
    : QDialog(parent), baseDir_(baseDir), http_(std::make_unique<HttpClient>(QtEventPump::instance()))
{
    setObjectName(QStringLiteral("maillist"));
    setWindowTitle(QStringLiteral("First Time Use"));
    setModal(true);

    Label1 = named(new QLabel(QStringLiteral("Thank you for trying Tolvan."), this), "Label1");
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label2 = named(new QLabel(QStringLiteral("Please enter your name and e-mail in the spaces provided below.  "
                                             "This information will be kept by Quendel for internal use only, "
                                             "and will not be released."),
                              this),
                   "Label2");
    Label2->setWordWrap(true);
    Label3 = named(new QLabel(QStringLiteral("You will not receive any e-mail from us except for a confirmation "
                                             "mail unless you select one of the e-mail notification options below."),
                              this),
                   "Label3");
    Label3->setWordWrap(true);

    Label4 = named(new QLabel(QStringLiteral("First Name:"), this), "Label4");
    Label5 = named(new QLabel(QStringLiteral("Last Name:"), this), "Label5");
    Label6 = named(new QLabel(QStringLiteral("E-Mail:"), this), "Label6");
    Edit1 = named(new QLineEdit(this), "Edit1");
    Edit2 = named(new QLineEdit(this), "Edit2");
    Edit3 = named(new QLineEdit(this), "Edit3");
    Label4->setBuddy(Edit1);
    Label5->setBuddy(Edit2);
    Label6->setBuddy(Edit3);

    CheckBox1 = named(new QCheckBox(QStringLiteral("I would like to receive Tolvan announcements via e-mail."), this),
                      "CheckBox1");
    CheckBox1->setChecked(true);
    CheckBox2 = named(
        new QCheckBox(QStringLiteral("I would like to receive other Quendel announcements via E-Mail."), this),
        "CheckBox2");
    CheckBox2->setChecked(true);

    Button1 = named(new QPushButton(QStringLiteral("Make sure you are connected to the Internet and click to continue"),
                                    this),
                    "Button1");
    Button1->setDefault(true);
    Button2 = named(
        new QPushButton(QStringLiteral("Click here if you connect to the Internet thorugh a Proxy Server"), this),
        "Button2");

    Label7 = named(new QLabel(QStringLiteral("Server:"), this), "Label7");
    Label8 = named(new QLabel(QStringLiteral("Port:"), this), "Label8");
    Edit4 = named(new QLineEdit(this), "Edit4");
    Edit5 = named(new QLineEdit(QStringLiteral("80"), this), "Edit5");
    Label7->setBuddy(Edit4);
    Label8->setBuddy(Edit5);
    for (QWidget* w : {static_cast<QWidget*>(Label7), static_cast<QWidget*>(Label8), static_cast<QWidget*>(Edit4),
                       static_cast<QWidget*>(Edit5)})
        w->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(Label3);
    auto* fields = new QGridLayout;
    fields->addWidget(Label4, 0, 0);
    fields->addWidget(Edit1, 0, 1);
    fields->addWidget(Label5, 1, 0);
    fields->addWidget(Edit2, 1, 1);
    fields->addWidget(Label6, 2, 0);
    fields->addWidget(Edit3, 2, 1);
    layout->addLayout(fields);
    layout->addWidget(CheckBox1);
    layout->addWidget(CheckBox2);
    layout->addWidget(Button1);
    layout->addWidget(Button2);
    auto* proxy = new QGridLayout;
    proxy->addWidget(Label7, 0, 0);
    proxy->addWidget(Edit4, 0, 1);
    proxy->addWidget(Label8, 1, 0);
    proxy->addWidget(Edit5, 1, 1);
    layout->addLayout(proxy);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Label2->setMinimumWidth(420);

    connect(Button1, &QPushButton::clicked, this, &SignupDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &SignupDialog::Button2Click);

    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

SignupDialog::~SignupDialog() = default;

void SignupDialog::Button2Click()
{
    Button2->hide();
    Label7->show();
    Edit4->show();
    Label8->show();
    Edit5->show();
}

void SignupDialog::Button1Click()
{
    if (posting_)
        return;
    guarded([this] {
        SignUpForm form;
        form.firstName = toUtf8(Edit1->text());
        form.lastName = toUtf8(Edit2->text());
        form.email = toUtf8(Edit3->text());
        form.tolvanAnnouncements = CheckBox1->isChecked();
        form.otherAnnouncements = CheckBox2->isChecked();
        // A port that is not a number stops here, before anything is sent.
        const int port = signUpProxyPort(toUtf8(Edit5->text().trimmed()));
        const std::string host = RemoteHosts(baseDir_).signUpHost();

        QApplication::setOverrideCursor(Qt::WaitCursor);
        Button1->setEnabled(false);
        posting_ = true;
        struct Restore {
            SignupDialog* d;
            ~Restore()
            {
                d->posting_ = false;
                d->Button1->setEnabled(true);
                QApplication::restoreOverrideCursor();
            }
        };
        SignUpResult result;
        {
            Restore restore{this};
            result = postSignUp(*http_, host, form, toUtf8(Edit4->text().trimmed()), port);
        }
        // Closing the window stops the post; that is no sign-up to thank for.
        if (result.outcome == SignUpOutcome::Posted && !closing_) {
            showMessage(this, QStringLiteral("Thank you for using Tolvan"));
            accept();
        }
        // Any other failure leaves the dialog open: the user may correct the
        // proxy and try again, or close the window.
    });
}

void SignupDialog::interruptPost()
{
    if (posting_) {
        closing_ = true;
        http_->setAction(httpIdle);
    }
}

void SignupDialog::reject()
{
    interruptPost();
    QDialog::reject();
}

void SignupDialog::closeEvent(QCloseEvent* event)
{
    interruptPost();
    QDialog::closeEvent(event);
}

void showFirstTimeDialog(QWidget* parent, const std::string& baseDir)
{
    SignupDialog dialog(parent, baseDir);
    dialog.exec();
}

}  // namespace tolvan::app

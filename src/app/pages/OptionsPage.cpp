#include "app/pages/OptionsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <tuple>
#include <utility>

#include "app/ErrorHandler.h"
#include "app/MailPasswords.h"
#include "app/Messages.h"
#include "app/RankApiKeys.h"
#include "net/SmtpClient.h"
#include "ranking/RankCheck.h"
#include "ranking/RankDefinition.h"
#include "util/Errors.h"
#include "widgets/CaptionLabel.h"

namespace tolvan::app {

using widgets::CaptionLabel;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& q) { return q.toStdString(); }

// A loaded text shows from its beginning, not scrolled to its end.
void showText(QLineEdit* edit, const QString& text)
{
    edit->setText(text);
    edit->setCursorPosition(0);
}

QLineEdit* makeEdit(QWidget* parent, const char* objectName, const char* hint)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(objectName));
    if (hint)
        edit->setToolTip(QString::fromLatin1(hint));
    return edit;
}

QCheckBox* makeCheck(QWidget* parent, const char* objectName, const char* caption, const char* hint)
{
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QString::fromLatin1(objectName));
    box->setToolTip(QString::fromLatin1(hint));
    return box;
}

QPushButton* makeBrowse(QWidget* parent, const char* objectName)
{
    auto* button = new QPushButton(QStringLiteral("..."), parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setToolTip(QStringLiteral("Browse for a WAV sound"));
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 16);
    button->setAutoDefault(false);
    return button;
}

QGroupBox* makeGroup(QWidget* parent, const char* objectName, const char* caption)
{
    auto* group = new QGroupBox(QString::fromLatin1(caption), parent);
    group->setObjectName(QString::fromLatin1(objectName));
    return group;
}

QGridLayout* groupGrid(QGroupBox* group)
{
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    return grid;
}

}  // namespace

OptionsPage::OptionsPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet5"));

    // Report Data
    GroupBox1 = makeGroup(this, "GroupBox1", "Report Data");
    oryxname = makeEdit(GroupBox1, "oryxname", nullptr);
    oryxname->setText(QStringLiteral("Tolvan"));
    oryxurl = makeEdit(GroupBox1, "oryxurl", nullptr);
    oryxurl->setText(QStringLiteral("http://"));
    {
        QGridLayout* g = groupGrid(GroupBox1);
        g->addWidget(new CaptionLabel(QStringLiteral("Name on Reports:"), GroupBox1), 0, 0);
        g->addWidget(oryxname, 0, 1);
        g->addWidget(new CaptionLabel(QStringLiteral("URL on Reports:"), GroupBox1), 1, 0);
        g->addWidget(oryxurl, 1, 1);
    }

    // Firewall / Proxy
    GroupBox2 = makeGroup(this, "GroupBox2", "Firewall / Proxy");
    proxycheck = makeCheck(GroupBox2, "proxycheck", "Proxy Server", "Click if you are using a proxy server.");
    proxyserver = makeEdit(GroupBox2, "proxyserver", "Enter your proxy server if you go through one.");
    proxyport = makeEdit(GroupBox2, "proxyport", "The port your Proxy Server is on.");
    proxyport->setText(QStringLiteral("80"));
    proxyport->setMaximumWidth(proxyport->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 14);
    proxyserver->setEnabled(false);
    proxyport->setEnabled(false);
    {
        QGridLayout* g = groupGrid(GroupBox2);
        auto* portLabel = new CaptionLabel(QStringLiteral("Port"), GroupBox2);
        portLabel->setObjectName(QStringLiteral("Label7"));
        portLabel->setBuddy(proxyport);
        g->addWidget(proxycheck, 0, 0);
        g->addWidget(proxyserver, 0, 1, 1, 3);
        g->addWidget(portLabel, 1, 2, Qt::AlignRight);
        g->addWidget(proxyport, 1, 3);
        g->setColumnStretch(1, 1);
    }

    // Time-out
    timeoutcb = new QComboBox(this);
    timeoutcb->setObjectName(QStringLiteral("timeoutcb"));
    timeoutcb->setEditable(true);
    timeoutcb->setInsertPolicy(QComboBox::NoInsert);
    for (int seconds : {5, 10, 15, 20, 25, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120})
        timeoutcb->addItem(QString::number(seconds));
    timeoutcb->setCurrentIndex(-1);
    timeoutcb->setEditText(QStringLiteral("60"));
    timeoutcb->setMaximumWidth(timeoutcb->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 40);
    auto* timeoutRow = new QHBoxLayout;
    auto* timeoutLabel = new CaptionLabel(QStringLiteral("Time Out:"), this);
    timeoutLabel->setBuddy(timeoutcb);
    timeoutRow->addWidget(timeoutLabel);
    timeoutRow->addWidget(timeoutcb);
    timeoutRow->addWidget(new CaptionLabel(QStringLiteral("seconds"), this));
    timeoutRow->addStretch();

    // Rank checks: the pause between requests to one engine and the API keys
    // of the engines that need one.
    GroupBox6 = makeGroup(this, "GroupBox6", "Rank Checks");
    rankpause = makeEdit(GroupBox6, "rankpause",
                         "Seconds to wait between two requests to the same engine during a rank check: one "
                         "number, or a range such as 2-5 for a random pause in it.");
    rankpause->setText(QStringLiteral("2-5"));
    marginaliakey = makeEdit(GroupBox6, "marginaliakey",
                             "Your Marginalia API key. It is kept in the desktop's secret store, never in the "
                             "settings file.");
    bravekey = makeEdit(GroupBox6, "bravekey",
                        "Your Brave Search API key. It is kept in the desktop's secret store, never in the "
                        "settings file.");
    for (QLineEdit* key : {marginaliakey, bravekey}) {
        key->setEchoMode(QLineEdit::Password);
        key->setPlaceholderText(QStringLiteral("Kept in the desktop's secret store"));
    }
    connect(rankpause, &QLineEdit::editingFinished, this, &OptionsPage::rankpauseExit);
    connect(marginaliakey, &QLineEdit::editingFinished, this, [this] { rankKeyExit(marginaliakey, "Marginalia"); });
    connect(bravekey, &QLineEdit::editingFinished, this, [this] { rankKeyExit(bravekey, "Brave Search"); });
    {
        QGridLayout* g = groupGrid(GroupBox6);
        auto* pauseLabel = new CaptionLabel(QStringLiteral("Pause per Engine:"), GroupBox6);
        pauseLabel->setBuddy(rankpause);
        g->addWidget(pauseLabel, 0, 0);
        g->addWidget(rankpause, 0, 1);
        g->addWidget(new CaptionLabel(QStringLiteral("seconds"), GroupBox6), 0, 2);
        auto* marginaliaLabel = new CaptionLabel(QStringLiteral("Marginalia Key:"), GroupBox6);
        marginaliaLabel->setBuddy(marginaliakey);
        g->addWidget(marginaliaLabel, 1, 0);
        g->addWidget(marginaliakey, 1, 1, 1, 2);
        auto* braveLabel = new CaptionLabel(QStringLiteral("Brave Search Key:"), GroupBox6);
        braveLabel->setBuddy(bravekey);
        g->addWidget(braveLabel, 2, 0);
        g->addWidget(bravekey, 2, 1, 1, 2);
        g->setColumnStretch(1, 1);
    }

    // Auto Reports
    GroupBox3 = makeGroup(this, "GroupBox3", "Auto Reports");
    emailcheck = makeCheck(GroupBox3, "emailcheck", "E-Mail",
                           "Click if you would like E-Mail reports auto-generated and sent after each site run");
    htmlcheck = makeCheck(GroupBox3, "htmlcheck", "HTML",
                          "Click if you would like HTML reports auto-generated after each site run");
    textcheck = makeCheck(GroupBox3, "textcheck", "Text",
                          "Click if you would like Text reports auto-generated after each site run");
    {
        QGridLayout* g = groupGrid(GroupBox3);
        auto* label = new CaptionLabel(
            QStringLiteral("Check for each type of report to be auto-generated after each site run:"), GroupBox3);
        label->setWordWrap(true);
        g->addWidget(label, 0, 0, 1, 3);
        g->addWidget(emailcheck, 1, 0);
        g->addWidget(htmlcheck, 1, 1);
        g->addWidget(textcheck, 1, 2);
    }

    // E-Mail Reports
    GroupBox4 = makeGroup(this, "GroupBox4", "E-Mail Reports");
    smtpserv = makeEdit(GroupBox4, "smtpserv", "The SMTP server you send mail through.");
    fromaddr = makeEdit(GroupBox4, "fromaddr",
                        "Your e-mail address.  This is the reply to address for outgoing mail.");
    emailfrom = makeEdit(GroupBox4, "emailfrom", "Outgoing mail will show as being from this name.");
    emailfrom->setText(QStringLiteral("Tolvan by Quendel"));
    emailsubj = makeEdit(GroupBox4, "emailsubj", "Default subject of outgoing e-mail reports.");
    emailsubj->setText(QStringLiteral("Tolvan Report"));
    smtpsecurity = new QComboBox(GroupBox4);
    smtpsecurity->setObjectName(QStringLiteral("smtpsecurity"));
    smtpsecurity->addItems({QStringLiteral("None"), QStringLiteral("STARTTLS"), QStringLiteral("TLS")});
    smtpsecurity->setToolTip(QStringLiteral("How the connection to the SMTP server is protected: STARTTLS (usually "
                                            "port 587) or TLS from the first byte (usually port 465)."));
    smtpuser = makeEdit(GroupBox4, "smtpuser",
                        "The user name for logging in to the SMTP server; empty for a server that needs none.");
    smtppass = makeEdit(GroupBox4, "smtppass",
                        "The password for the SMTP server. It is kept in the desktop's secret store, never in the "
                        "settings file.");
    smtppass->setEchoMode(QLineEdit::Password);
    smtppass->setPlaceholderText(QStringLiteral("Kept in the desktop's secret store"));
    connect(smtppass, &QLineEdit::editingFinished, this, &OptionsPage::smtppassExit);
    {
        QGridLayout* g = groupGrid(GroupBox4);
        int row = 0;
        for (auto [label, edit] : {std::pair<const char*, QWidget*>{"SMTP Server:", smtpserv},
                                   {"Mail From Address:", fromaddr}, {"Mail From Name:", emailfrom},
                                   {"Subject:", emailsubj}, {"Security:", smtpsecurity}, {"User Name:", smtpuser},
                                   {"Password:", smtppass}}) {
            auto* l = new CaptionLabel(QString::fromLatin1(label), GroupBox4);
            l->setBuddy(edit);
            g->addWidget(l, row, 0);
            g->addWidget(edit, row, 1);
            ++row;
        }
    }

    // Wav Sounds
    GroupBox5 = makeGroup(this, "GroupBox5", "Wav Sounds");
    subwavchk = makeCheck(GroupBox5, "subwavchk", "After Each Submission",
                          "Check to play a WAV sound after each engine submission.");
    sitewavchk = makeCheck(GroupBox5, "sitewavchk", "After Each Site Run",
                           "Check to play a WAV sound after each site is completed on batch runs.");
    completewavchk = makeCheck(GroupBox5, "completewavchk", "After Completion",
                               "Check to play a WAV sound after a full run is completed.");
    failwavchk = makeCheck(GroupBox5, "failwavchk", "After Each Failure",
                           "Check to play a WAV sound when an engine submission fails.");
    subwav = makeEdit(GroupBox5, "subwav", "Wav Filename and Path");
    sitewav = makeEdit(GroupBox5, "sitewav", "Wav Filename and Path");
    completewav = makeEdit(GroupBox5, "completewav", "Wav Filename and Path");
    failwav = makeEdit(GroupBox5, "failwav", "Wav Filename and Path");
    BitBtn12 = makeBrowse(GroupBox5, "BitBtn12");
    TransparentButton2 = makeBrowse(GroupBox5, "TransparentButton2");
    BitBtn16 = makeBrowse(GroupBox5, "BitBtn16");
    BitBtn17 = makeBrowse(GroupBox5, "BitBtn17");
    {
        QGridLayout* g = groupGrid(GroupBox5);
        const std::tuple<QCheckBox*, QLineEdit*, QPushButton*> rows[] = {
            {subwavchk, subwav, BitBtn12},
            {sitewavchk, sitewav, TransparentButton2},
            {completewavchk, completewav, BitBtn16},
            {failwavchk, failwav, BitBtn17}};
        int row = 0;
        for (auto [check, edit, button] : rows) {
            g->addWidget(check, row, 0);
            g->addWidget(edit, row, 1);
            g->addWidget(button, row, 2);
            ++row;
        }
        g->setColumnStretch(1, 1);
        g->setHorizontalSpacing(3);
    }

    // Custom message
    custmemo = new QPlainTextEdit(this);
    custmemo->setObjectName(QStringLiteral("custmemo"));
    custmemo->setToolTip(QStringLiteral("Enter a message to include at the top of E-Mail reports"));
    custmemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    custmemo->setTabChangesFocus(true);
    auto* custLabel = new CaptionLabel(QStringLiteral("Custom Message for E-Mail Reports:"), this);
    custLabel->setBuddy(custmemo);

    // Buttons whose work lives with the engine update and the error log.
    Updatebtn = new QPushButton(QStringLiteral("Update Engine Data"), this);
    Updatebtn->setObjectName(QStringLiteral("Updatebtn"));
    BitBtn4 = new QPushButton(QStringLiteral("View Error Log"), this);
    BitBtn4->setObjectName(QStringLiteral("BitBtn4"));
    BitBtn8 = new QPushButton(QStringLiteral("Clear Error Log"), this);
    BitBtn8->setObjectName(QStringLiteral("BitBtn8"));
    BitBtn8->setToolTip(QStringLiteral("Delete Tolvan ErrorLog File."));

    auto* left = new QVBoxLayout;
    left->setSpacing(4);
    left->addWidget(GroupBox1);
    left->addWidget(GroupBox2);
    left->addWidget(GroupBox3);
    left->addLayout(timeoutRow);
    left->addWidget(GroupBox6);
    left->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    buttons->addWidget(Updatebtn);
    buttons->addWidget(BitBtn4);
    buttons->addWidget(BitBtn8);

    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    right->addWidget(GroupBox4);
    right->addWidget(GroupBox5);
    right->addWidget(custLabel);
    right->addWidget(custmemo, 1);
    right->addLayout(buttons);

    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(8, 6, 8, 6);
    page->setSpacing(10);
    page->addLayout(left, 1);
    page->addLayout(right, 1);

    connect(proxycheck, &QCheckBox::clicked, this, [this] { guarded([this] { proxycheckClick(); }); });
    connect(proxyserver, &QLineEdit::textChanged, this, [this] { guarded([this] { proxyserverChange(); }); });
    connect(proxyport, &QLineEdit::textChanged, this, [this] { guarded([this] { proxyportChange(); }); });
    connect(BitBtn12, &QPushButton::clicked, this, [this] { guarded([this] { BitBtn12Click(); }); });
    connect(TransparentButton2, &QPushButton::clicked, this, [this] { guarded([this] { BitBtn15Click(); }); });
    connect(BitBtn16, &QPushButton::clicked, this, [this] { guarded([this] { BitBtn16Click(); }); });
    connect(BitBtn17, &QPushButton::clicked, this, [this] { guarded([this] { BitBtn17Click(); }); });
}

int OptionsPage::portNumber(const QString& text) { return proxyPortNumber(s(text)); }

void OptionsPage::showSettings(const Settings& st)
{
    // Start-up hands the proxy to the clients itself; no edit events for it here.
    const QSignalBlocker blockServer(proxyserver);
    const QSignalBlocker blockPort(proxyport);
    showText(oryxname, q(st.oryxname));
    showText(oryxurl, q(st.oryxurl));
    proxycheck->setChecked(st.proxycheck);
    showText(proxyserver, q(st.proxyserver));
    showText(proxyport, q(st.proxyport));
    timeoutcb->setEditText(q(st.timeout));
    showText(rankpause, q(st.rankpause));
    emailcheck->setChecked(st.emailcheck);
    htmlcheck->setChecked(st.htmlcheck);
    textcheck->setChecked(st.textcheck);
    showText(smtpserv, q(st.smtpserv));
    showText(fromaddr, q(st.fromaddr));
    showText(emailfrom, q(st.emailfrom));
    showText(emailsubj, q(st.emailsubj));
    smtpsecurity->setCurrentIndex(static_cast<int>(smtpSecurityFromText(st.smtpsecurity)));
    showText(smtpuser, q(st.smtpuser));
    subwavchk->setChecked(st.subwavchk);
    sitewavchk->setChecked(st.sitewavchk);
    completewavchk->setChecked(st.completewavchk);
    failwavchk->setChecked(st.failwavchk);
    showText(subwav, q(st.subwav));
    showText(sitewav, q(st.sitewav));
    showText(completewav, q(st.completewav));
    showText(failwav, q(st.failwav));
    proxycheckClick();
}

void OptionsPage::readSettings(Settings& st) const
{
    st.oryxname = s(oryxname->text());
    st.oryxurl = s(oryxurl->text());
    st.proxycheck = proxycheck->isChecked();
    st.proxyserver = s(proxyserver->text());
    st.proxyport = s(proxyport->text());
    st.timeout = s(timeoutcb->currentText());
    st.rankpause = s(rankpause->text().trimmed());
    st.emailcheck = emailcheck->isChecked();
    st.htmlcheck = htmlcheck->isChecked();
    st.textcheck = textcheck->isChecked();
    st.smtpserv = s(smtpserv->text());
    st.fromaddr = s(fromaddr->text());
    st.emailfrom = s(emailfrom->text());
    st.emailsubj = s(emailsubj->text());
    st.smtpsecurity = s(smtpsecurity->currentText());
    st.smtpuser = s(smtpuser->text());
    st.subwavchk = subwavchk->isChecked();
    st.sitewavchk = sitewavchk->isChecked();
    st.completewavchk = completewavchk->isChecked();
    st.failwavchk = failwavchk->isChecked();
    st.subwav = s(subwav->text());
    st.sitewav = s(sitewav->text());
    st.completewav = s(completewav->text());
    st.failwav = s(failwav->text());
}

void OptionsPage::smtppassExit()
{
    if (smtppass->text().isEmpty())
        return;
    if (smtpuser->text().isEmpty()) {
        showMessage(this, QStringLiteral("Enter the user name for the SMTP server before its password."));
        return;
    }
    const QString problem = MailPasswords::instance().remember(s(smtpuser->text()), s(smtpserv->text()),
                                                               smtppass->text().toStdString());
    smtppass->clear();
    if (!problem.isEmpty())
        showMessage(this, QStringLiteral("The password could not be stored: ") + problem +
                              QStringLiteral("\n\nTolvan keeps it until it closes and asks for it when it "
                                             "next sends mail after that."));
}

void OptionsPage::rankpauseExit()
{
    int minMs = 0, maxMs = 0;
    if (!parseRankPause(s(rankpause->text()), minMs, maxMs))
        showMessage(this, QStringLiteral("'") + rankpause->text() +
                              QStringLiteral("' is not a pause. Enter whole seconds, such as 3, or a range, such as "
                                             "2-5; until then rank checks pause 2 to 5 seconds."));
}

void OptionsPage::setBaseDir(const QString& dir)
{
    baseDir_ = s(dir);
    showRankKeyFields();
}

void OptionsPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!baseDir_.empty())
        showRankKeyFields();
}

QLineEdit* OptionsPage::rankKeyField(const QString& engine) const
{
    if (engine == QLatin1String("Marginalia"))
        return marginaliakey;
    if (engine == QLatin1String("Brave Search"))
        return bravekey;
    const auto found = extraKeyFields_.find(s(engine));
    return found == extraKeyFields_.end() ? nullptr : found->second;
}

void OptionsPage::showRankKeyFields()
{
    std::vector<std::string> engines;
    for (std::string& name : rankEnginesNeedingKey(baseDir_))
        if (name != "Marginalia" && name != "Brave Search")
            engines.push_back(std::move(name));
    if (engines == extraKeyEngines_)
        return;
    for (QWidget* w : extraKeyRows_)
        delete w;
    extraKeyRows_.clear();
    extraKeyFields_.clear();
    extraKeyEngines_ = engines;
    auto* g = static_cast<QGridLayout*>(GroupBox6->layout());
    int row = 3;  // below the pause and the shipped engines' keys
    for (const std::string& engine : engines) {
        const QString name = QString::fromStdString(engine);
        auto* edit = new QLineEdit(GroupBox6);
        edit->setObjectName(QStringLiteral("rankkey:") + name);
        edit->setToolTip(QStringLiteral("Your ") + name +
                         QStringLiteral(" API key. It is kept in the desktop's secret store, never in the settings "
                                        "file."));
        edit->setEchoMode(QLineEdit::Password);
        edit->setPlaceholderText(QStringLiteral("Kept in the desktop's secret store"));
        auto* label = new CaptionLabel(name + QStringLiteral(" Key:"), GroupBox6);
        label->setBuddy(edit);
        g->addWidget(label, row, 0);
        g->addWidget(edit, row, 1, 1, 2);
        ++row;
        connect(edit, &QLineEdit::editingFinished, this, [this, edit, engine] { rankKeyExit(edit, engine); });
        extraKeyFields_[engine] = edit;
        extraKeyRows_.push_back(label);
        extraKeyRows_.push_back(edit);
    }
}

void OptionsPage::rankKeyExit(QLineEdit* edit, const std::string& engine)
{
    const QString key = edit->text().trimmed();
    if (key.isEmpty())
        return;
    const QString problem = RankApiKeys::instance().remember(engine, s(key));
    edit->clear();
    if (!problem.isEmpty())
        showMessage(this, QStringLiteral("The key could not be stored: ") + problem +
                              QStringLiteral("\n\nTolvan keeps it until it closes."));
}

QStringList OptionsPage::customMessage() const
{
    const QString text = custmemo->toPlainText();
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();  // a final line break adds no line
    return lines;
}

void OptionsPage::setCustomMessage(const QStringList& lines)
{
    custmemo->setPlainText(lines.join(QLatin1Char('\n')));
}

void OptionsPage::proxycheckClick()
{
    const bool on = proxycheck->isChecked();
    proxyserver->setEnabled(on);
    proxyport->setEnabled(on);
}

void OptionsPage::proxyserverChange() { emit proxyServerEdited(proxyserver->text()); }

void OptionsPage::proxyportChange() { emit proxyPortEdited(portNumber(proxyport->text())); }

void OptionsPage::BitBtn12Click() { chooseSound(subwav); }
void OptionsPage::BitBtn15Click() { chooseSound(sitewav); }
void OptionsPage::BitBtn16Click() { chooseSound(completewav); }
void OptionsPage::BitBtn17Click() { chooseSound(failwav); }

void OptionsPage::chooseSound(QLineEdit* edit)
{
    QFileDialog dialog(this, QStringLiteral("Select a WAV Sound"));
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // File names here are case-sensitive, so both spellings of the extension match.
    dialog.setNameFilter(QStringLiteral("WAV files (*.WAV *.wav)"));
    dialog.setDefaultSuffix(QStringLiteral("WAV"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    edit->setText(dialog.selectedFiles().constFirst());
}

}  // namespace tolvan::app

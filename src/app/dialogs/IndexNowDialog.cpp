#include "app/dialogs/IndexNowDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ErrorHandler.h"
#include "app/Messages.h"
#include "app/QtEventPump.h"
#include "app/TextConversion.h"
#include "history/HistoryStore.h"
#include "indexnow/IndexNowKey.h"
#include "indexnow/Notifier.h"
#include "net/HttpClient.h"
#include "net/RemoteHosts.h"
#include "profiles/ProfileStore.h"
#include "util/Files.h"

namespace tolvan::app {

IndexNowDialog::IndexNowDialog(const std::string& baseDir, SiteProfile& site, QWidget* parent)
    : QDialog(parent), baseDir_(baseDir), site_(site), http_(std::make_unique<HttpClient>(QtEventPump::instance()))
{
    setObjectName(QStringLiteral("IndexNowDialog"));
    setWindowTitle(QStringLiteral("IndexNow"));
    auto* form = new QFormLayout;
    siteEdit = named(new QLineEdit(fromUtf8(site.fullAddress())), "siteEdit");
    siteEdit->setReadOnly(true);
    keyEdit = named(new QLineEdit(fromUtf8(site.indexNowKey)), "keyEdit");
    keyEdit->setPlaceholderText(QStringLiteral("8 to 128 letters, digits or \"-\""));
    keyLocationEdit = named(new QLineEdit(fromUtf8(site.indexNowKeyLocation)), "keyLocationEdit");
    keyLocationEdit->setPlaceholderText(QStringLiteral("the site's address, then /<key>.txt"));
    form->addRow(QStringLiteral("Site:"), siteEdit);
    form->addRow(QStringLiteral("Key:"), keyEdit);
    form->addRow(QStringLiteral("Key location:"), keyLocationEdit);

    generateButton = named(new QPushButton(QStringLiteral("Generate Key")), "generateButton");
    saveKeyButton = named(new QPushButton(QStringLiteral("Save Key File...")), "saveKeyButton");
    checkButton = named(new QPushButton(QStringLiteral("Check Key File")), "checkButton");
    auto* keyButtons = new QHBoxLayout;
    keyButtons->addWidget(generateButton);
    keyButtons->addWidget(saveKeyButton);
    keyButtons->addWidget(checkButton);

    sitemapEdit = named(new QLineEdit(fromUtf8(site.fullAddress().empty() ? std::string()
                                                                        : siteOrigin(site.fullAddress()) + "/sitemap.xml")),
                        "sitemapEdit");
    endpointBox = named(new QComboBox, "endpointBox");
    for (const auto& engine : indexNowEngines(baseDir_))
        endpointBox->addItem(fromUtf8(engine));
    auto* notifyForm = new QFormLayout;
    notifyForm->addRow(QStringLiteral("Sitemap:"), sitemapEdit);
    notifyForm->addRow(QStringLiteral("Endpoint:"), endpointBox);
    addEngineButton = named(new QPushButton(QStringLiteral("Add to Engines to Submit")), "addEngineButton");
    notifyButton = named(new QPushButton(QStringLiteral("Notify Changed Pages")), "notifyButton");
    cancelButton = named(new QPushButton(QStringLiteral("Cancel")), "cancelButton");
    cancelButton->setEnabled(false);
    auto* notifyButtons = new QHBoxLayout;
    notifyButtons->addWidget(addEngineButton);
    notifyButtons->addWidget(notifyButton);
    notifyButtons->addWidget(cancelButton);
    progress = named(new QProgressBar, "progress");
    progress->setValue(0);
    results = named(new QPlainTextEdit, "results");
    results->setReadOnly(true);
    results->setMaximumBlockCount(20000);
    statusLabel = named(new QLabel, "statusLabel");
    statusLabel->setWordWrap(true);
    auto* close = named(new QPushButton(QStringLiteral("Close")), "closeButton");

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(keyButtons);
    layout->addSpacing(8);
    layout->addLayout(notifyForm);
    layout->addLayout(notifyButtons);
    layout->addWidget(progress);
    layout->addWidget(results, 1);
    layout->addWidget(statusLabel);
    layout->addWidget(close, 0, Qt::AlignRight);
    resize(640, 480);

    connect(generateButton, &QPushButton::clicked, this, [this] { guarded([this] { generateClick(); }); });
    connect(saveKeyButton, &QPushButton::clicked, this, [this] { guarded([this] { saveKeyFileClick(); }); });
    connect(checkButton, &QPushButton::clicked, this, [this] { guarded([this] { checkKeyFileClick(); }); });
    connect(notifyButton, &QPushButton::clicked, this, [this] { guarded([this] { notifyClick(); }); });
    connect(addEngineButton, &QPushButton::clicked, this, [this] { guarded([this] { addEngineClick(); }); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancelClick(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(keyEdit, &QLineEdit::editingFinished, this, [this] { guarded([this] { storeKey(); }); });
    connect(keyLocationEdit, &QLineEdit::editingFinished, this, [this] { guarded([this] { storeKey(); }); });
}

IndexNowDialog::~IndexNowDialog() = default;

void IndexNowDialog::setProxy(const std::string& server, int port)
{
    http_->setProxyServer(server);
    http_->setProxyPort(static_cast<std::uint16_t>(port));
}

void IndexNowDialog::storeKey()
{
    const std::string key = toUtf8(keyEdit->text().trimmed());
    const std::string location = toUtf8(keyLocationEdit->text().trimmed());
    if (key == site_.indexNowKey && location == site_.indexNowKeyLocation)
        return;
    if (!key.empty() && !isValidIndexNowKey(key)) {
        statusLabel->setText(QStringLiteral("A key is 8 to 128 letters (a-z, A-Z), digits or \"-\"; it was not stored."));
        return;
    }
    site_.indexNowKey = key;
    site_.indexNowKeyLocation = location;
    const ProfileStore store(baseDir_);
    if (store.reverseIndexExists())
        if (const std::string name = store.profileForAddress(site_.fullAddress()); !name.empty())
            store.storeIndexNowKey(name, key, location);
    statusLabel->setText(QStringLiteral("The key is stored with the site."));
}

void IndexNowDialog::generateClick()
{
    if (site_.fullAddress().empty()) {
        showMessage(this, QStringLiteral("Enter the site's address on the Site Data page first."));
        return;
    }
    keyEdit->setText(fromUtf8(generateIndexNowKey()));
    storeKey();
    statusLabel->setText(QStringLiteral("A new key was made. Save the key file and put it on the site at ")
                         + fromUtf8(effectiveKeyLocation(site_))
                         + QStringLiteral("."));
}

void IndexNowDialog::saveKeyFileClick()
{
    storeKey();
    if (site_.indexNowKey.empty()) {
        showMessage(this, fromUtf8(noKeyMessage(site_.fullAddress())));
        return;
    }
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Save Key File"));
    if (folder.isEmpty())
        return;
    const std::string location = effectiveKeyLocation(site_);
    std::string fileName = location.substr(location.rfind('/') + 1);
    if (fileName.empty() || fileName == "." || fileName == "..")
        fileName = site_.indexNowKey + ".txt";
    const std::string path = joinPath(toUtf8(folder), fileName);
    writeFileAtomic(path, site_.indexNowKey);
    statusLabel->setText(QStringLiteral("Saved ") + fromUtf8(path) + QStringLiteral(". Upload it so that it is at ")
                         + fromUtf8(location) + QStringLiteral(", then press Check Key File."));
}

void IndexNowDialog::checkKeyFileClick()
{
    storeKey();
    if (site_.indexNowKey.empty()) {
        showMessage(this, fromUtf8(noKeyMessage(site_.fullAddress())));
        return;
    }
    setBusy(true);
    statusLabel->setText(QStringLiteral("Checking the key file..."));
    const KeyFileCheck check = checkKeyFile(
        *http_, effectiveKeyLocation(site_),
        site_.indexNowKey);
    setBusy(false);
    statusLabel->setText(fromUtf8(check.message));
}

void IndexNowDialog::notifyClick()
{
    storeKey();
    const RemoteHosts hosts(baseDir_);
    NotifyRequest request;
    request.site = site_.fullAddress();
    request.sitemap = toUtf8(sitemapEdit->text().trimmed());
    request.endpoint = toUtf8(endpointBox->currentText());
    request.endpointUrl = indexNowEndpointUrl(hosts, request.endpoint);
    request.key = site_.indexNowKey;
    request.keyLocation = effectiveKeyLocation(site_);
    if (request.sitemap.empty()) {
        showMessage(this, QStringLiteral("Enter the sitemap's address or file."));
        return;
    }
    results->clear();
    progress->setValue(0);
    HistoryStore history(baseDir_);
    Notifier notifier(history, *http_);
    notifier.onRow = [this](const NotifyRow& row) {
        results->appendPlainText(fromUtf8(row.url + '\t' + row.outcome + '\t' + row.detail));
    };
    notifier.onProgress = [this](std::size_t sent, std::size_t total) {
        progress->setMaximum(static_cast<int>(total));
        progress->setValue(static_cast<int>(sent));
    };
    notifier_ = &notifier;
    setBusy(true);
    statusLabel->setText(QStringLiteral("Reading the sitemap and notifying..."));
    const NotifySummary summary = notifier.run(request);
    notifier_ = nullptr;
    setBusy(false);
    QString text;
    if (!summary.problem.empty())
        text = fromUtf8(summary.problem);
    else if (!summary.note.empty())
        text = fromUtf8(summary.note);
    else
        text = QStringLiteral("%1 accepted, %2 pending, %3 failed, %4 skipped%5.")
                   .arg(summary.accepted)
                   .arg(summary.pending)
                   .arg(summary.failed)
                   .arg(summary.skipped)
                   .arg(summary.cancelled ? QStringLiteral("; cancelled: the rest is sent next time") : QString());
    if (const std::string notice = history.notice(); !notice.empty())
        text += QLatin1Char(' ') + fromUtf8(notice);
    statusLabel->setText(text);
}

void IndexNowDialog::addEngineClick()
{
    const std::string engine = toUtf8(endpointBox->currentText());
    if (engine.empty() || !onAddEngine)
        return;
    if (onAddEngine(engine))
        statusLabel->setText(endpointBox->currentText()
                             + QStringLiteral(" is on the Engines to submit list: Submit! sends each site's address with its key."));
    else
        statusLabel->setText(QStringLiteral("The engine lists cannot change while a submission runs."));
}

void IndexNowDialog::cancelClick()
{
    if (notifier_)
        notifier_->cancel();
    else if (http_->busy())
        http_->setAction(httpIdle);
}

void IndexNowDialog::setBusy(bool busy)
{
    busy_ = busy;
    for (QWidget* w : std::initializer_list<QWidget*>{generateButton, saveKeyButton, checkButton, notifyButton,
                                                       addEngineButton, keyEdit,
                                                       keyLocationEdit, sitemapEdit, endpointBox})
        w->setEnabled(!busy);
    cancelButton->setEnabled(busy);
}

void IndexNowDialog::reject()
{
    // Closing while a request runs cancels it; the dialog closes once it has returned.
    if (busy_) {
        cancelClick();
        return;
    }
    QDialog::reject();
}

}  // namespace tolvan::app

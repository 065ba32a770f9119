#pragma once
// "IndexNow": the current site's key and key location, a new key, the key file
// saved for upload and checked on the site, and a notify of changed pages from
// the sitemap with a progress bar and Cancel.
#include <QDialog>

#include <functional>
#include <memory>

#include "profiles/SiteProfile.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace tolvan {
class HttpClient;
class Notifier;
}  // namespace tolvan

namespace tolvan::app {

class IndexNowDialog : public QDialog {
    Q_OBJECT
public:
    // `site` is the working profile; a changed key is written back to it, and to
    // the saved profile of the same address when there is one.
    IndexNowDialog(const std::string& baseDir, SiteProfile& site, QWidget* parent = nullptr);
    ~IndexNowDialog() override;

    QLineEdit* siteEdit = nullptr;
    QLineEdit* keyEdit = nullptr;
    QLineEdit* keyLocationEdit = nullptr;
    QPushButton* generateButton = nullptr;
    QPushButton* saveKeyButton = nullptr;
    QPushButton* checkButton = nullptr;
    QLineEdit* sitemapEdit = nullptr;
    QComboBox* endpointBox = nullptr;
    QPushButton* addEngineButton = nullptr;
    QPushButton* notifyButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QProgressBar* progress = nullptr;
    QPlainTextEdit* results = nullptr;
    QLabel* statusLabel = nullptr;

    void generateClick();
    void saveKeyFileClick();
    void checkKeyFileClick();
    void notifyClick();
    void cancelClick();
    void addEngineClick();

    // The proxy the dialog's requests go through, as Submit!'s (empty server: none).
    void setProxy(const std::string& server, int port);

    // Puts an endpoint on the engines-to-submit list; false while a run goes.
    std::function<bool(const std::string& engine)> onAddEngine;

protected:
    void reject() override;

private:
    void storeKey();
    void setBusy(bool busy);

    std::string baseDir_;
    SiteProfile& site_;
    std::unique_ptr<HttpClient> http_;
    Notifier* notifier_ = nullptr;
    bool busy_ = false;
};

}  // namespace tolvan::app

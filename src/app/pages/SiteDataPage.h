#pragma once
// The "Site Data" page: the one working site profile, its address, title,
// description, category, eighteen keywords and the owner's contact details.
#include <QStringList>
#include <QWidget>

#include <array>

#include "profiles/SiteProfile.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tolvan::app {

class SiteDataPage : public QWidget {
    Q_OBJECT
public:
    explicit SiteDataPage(QWidget* parent = nullptr);

    static constexpr int kDescriptionMaxLength = 256;
    static const QString kCategoryPrompt;  // "SELECT A CATEGORY " as first shown
    static const QString kLastRunUnknown;  // "Last Submission: Unknown"

    // Base directory the profile files live under (sites/tlxprofiles.tlx).
    void setBaseDir(const QString& dir);
    QString baseDir() const { return baseDir_; }

    // The working profile as the controls hold it; the description as the
    // memo's lines as displayed (word-wrapped).
    SiteProfile profile() const;
    // Fills the controls: the description becomes the memo's only line. The
    // last-submission label takes the profile's text only when withLastRun.
    void setProfile(const SiteProfile& profile, bool withLastRun);
    // The IndexNow key and key location the working profile carries.
    void setIndexNowKey(const std::string& key, const std::string& location)
    {
        indexNowKey_ = key;
        indexNowKeyLocation_ = location;
    }

    // The category box's items, kept sorted without regard to letter case.
    void setCategories(const QStringList& categories);

    // The description memo's lines as displayed, soft-wrapped at its width.
    QStringList descriptionLines() const;

    // The full site address (hidden edit `url`).
    QString fullAddress() const;

    QComboBox* url1 = nullptr;
    QLineEdit* url2 = nullptr;
    QLineEdit* url = nullptr;  // hidden: url1 + url2
    QLineEdit* title = nullptr;
    QPlainTextEdit* desc = nullptr;
    QComboBox* category = nullptr;
    QLineEdit* key1 = nullptr;
    QLineEdit* key2 = nullptr;
    QLineEdit* key3 = nullptr;
    QLineEdit* key4 = nullptr;
    QLineEdit* key5 = nullptr;
    QLineEdit* key6 = nullptr;
    QLineEdit* key7 = nullptr;
    QLineEdit* key8 = nullptr;
    QLineEdit* key9 = nullptr;
    QLineEdit* key10 = nullptr;
    QLineEdit* key11 = nullptr;
    QLineEdit* key12 = nullptr;
    QLineEdit* key13 = nullptr;
    QLineEdit* key14 = nullptr;
    QLineEdit* key15 = nullptr;
    QLineEdit* key16 = nullptr;
    QLineEdit* key17 = nullptr;
    QLineEdit* key18 = nullptr;
    QLineEdit* name = nullptr;
    QLineEdit* email = nullptr;
    QLineEdit* company = nullptr;
    QLineEdit* address = nullptr;
    QLineEdit* city = nullptr;
    QLineEdit* state = nullptr;
    QLineEdit* zip = nullptr;
    QLineEdit* country = nullptr;
    QLineEdit* phone = nullptr;
    QLineEdit* fax = nullptr;
    QLabel* lastruntext = nullptr;
    QPushButton* cleardbb = nullptr;
    QPushButton* loaddbb = nullptr;
    QPushButton* savedbb = nullptr;

    // key1 ... key18 by number (1-based).
    QLineEdit* keyEdit(int number) const { return keys_.at(static_cast<std::size_t>(number - 1)); }

public slots:
    // url := url1 text + url2 text.
    void refreshFullAddress();
    void url2Exit();
    void cleardbbClick();
    void loaddbbClick();
    void savedbbClick();

signals:
    // The checks passed: the load or save dialog takes over from here.
    void loadDialogRequested();
    void saveDialogRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void limitDescription(int position, int added);
    QStringList descriptionLinesAt(qreal width) const;

    QString baseDir_;
    std::array<QLineEdit*, 18> keys_{};
    // Kept with the working profile without a control of their own (Tools, IndexNow...).
    std::string indexNowKey_;
    std::string indexNowKeyLocation_;
    bool limiting_ = false;
};

}  // namespace tolvan::app

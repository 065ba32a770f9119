#pragma once
// The "Page Builder" page: the inputs of the doorway page.
#include <QStringList>
#include <QWidget>

#include <array>

#include "pagebuilder/DoorwayPage.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tolvan::app {

class PageBuilderPage : public QWidget {
    Q_OBJECT
public:
    explicit PageBuilderPage(QWidget* parent = nullptr);

    static constexpr int kKeywordCount = 16;

    // Entering the page: the title and the first sixteen keywords come from the
    // working site (extra keywords are ignored, missing ones become empty); the
    // description box gets `description` (the site's description on one line).
    // The home page, image and forward choice stay as they are.
    void TabSheet4Enter(const QString& title, const QStringList& keywords, const QString& description);

    // Base directory whose data/hosts.tlx names the program's home page for
    // the foot of the page (the working directory at start-up by default).
    void setBaseDir(const QString& dir) { baseDir_ = dir; }
    QString baseDir() const { return baseDir_; }

    // The page as the boxes describe it now.
    DoorwayPage doorwayPage() const;

    QLineEdit* pbtitleedit = nullptr;
    QLineEdit* pbkey1edit = nullptr;
    QLineEdit* pbkey2edit = nullptr;
    QLineEdit* pbkey3edit = nullptr;
    QLineEdit* pbkey4edit = nullptr;
    QLineEdit* pbkey5edit = nullptr;
    QLineEdit* pbkey6edit = nullptr;
    QLineEdit* pbkey7edit = nullptr;
    QLineEdit* pbkey8edit = nullptr;
    QLineEdit* pbkey9edit = nullptr;
    QLineEdit* pbkey10edit = nullptr;
    QLineEdit* pbkey11edit = nullptr;
    QLineEdit* pbkey12edit = nullptr;
    QLineEdit* pbkey13edit = nullptr;
    QLineEdit* pbkey14edit = nullptr;
    QLineEdit* pbkey15edit = nullptr;
    QLineEdit* pbkey16edit = nullptr;
    QLineEdit* pbdescedit = nullptr;
    QLineEdit* pburledit = nullptr;
    QLineEdit* pnimage = nullptr;
    QCheckBox* forwardcheck = nullptr;
    QPushButton* BitBtn7 = nullptr;  // Generate

    // pbkey1edit ... pbkey16edit in order.
    std::array<QLineEdit*, kKeywordCount> keywordEdits() const;

public slots:
    // Generate: checks the title and the home page, asks where to save
    // ("siteindex.htm", asking before replacing a file), writes the page and
    // names the file written. A cancelled dialog writes nothing; a file that
    // cannot be written ends the handler with the error (no success message).
    void BitBtn7Click();

private:
    QString baseDir_;
    QString lastDir_;  // where the last page was saved, for the next dialog
};

}  // namespace tolvan::app

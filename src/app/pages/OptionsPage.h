#pragma once
// The "Options" page: report branding, proxy, time-out, automatic reports,
// e-mail settings, sounds and the custom message of e-mail reports.
#include <QStringList>
#include <QWidget>

#include <map>
#include <string>
#include <vector>

#include "settings/Settings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tolvan::app {

class OptionsPage : public QWidget {
    Q_OBJECT
public:
    explicit OptionsPage(QWidget* parent = nullptr);

    // Puts the settings into the controls (the Page Builder's forward box is
    // not on this page and is left to the caller).
    void showSettings(const Settings& settings);
    // The controls' current state written into `settings`.
    void readSettings(Settings& settings) const;

    QStringList customMessage() const;
    void setCustomMessage(const QStringList& lines);

    // The workspace whose data/rank/ definitions get a key field when they
    // need a key (the two shipped ones have theirs always).
    void setBaseDir(const QString& dir);
    // The key field of a rank engine; null when the page shows none for it.
    QLineEdit* rankKeyField(const QString& engine) const;

    // The port text as a whole number; throws ConvertError ("'x' is not a
    // valid integer value") when it is not one.
    static int portNumber(const QString& text);

    QGroupBox* GroupBox1 = nullptr;  // "Report Data"
    QLineEdit* oryxname = nullptr;
    QLineEdit* oryxurl = nullptr;
    QGroupBox* GroupBox2 = nullptr;  // "Firewall / Proxy"
    QCheckBox* proxycheck = nullptr;
    QLineEdit* proxyserver = nullptr;
    QLineEdit* proxyport = nullptr;
    QComboBox* timeoutcb = nullptr;
    QGroupBox* GroupBox6 = nullptr;  // "Rank Checks"
    QLineEdit* rankpause = nullptr;      // seconds, "N" or "MIN-MAX"
    QLineEdit* marginaliakey = nullptr;  // write-only: goes to the secret store
    QLineEdit* bravekey = nullptr;       // likewise
    QGroupBox* GroupBox3 = nullptr;  // "Auto Reports"
    QCheckBox* emailcheck = nullptr;
    QCheckBox* htmlcheck = nullptr;
    QCheckBox* textcheck = nullptr;
    QGroupBox* GroupBox4 = nullptr;  // "E-Mail Reports"
    QLineEdit* smtpserv = nullptr;
    QLineEdit* fromaddr = nullptr;
    QLineEdit* emailfrom = nullptr;
    QLineEdit* emailsubj = nullptr;
    QComboBox* smtpsecurity = nullptr;  // "None", "STARTTLS", "TLS"
    QLineEdit* smtpuser = nullptr;
    QLineEdit* smtppass = nullptr;      // write-only: goes to the secret store
    QGroupBox* GroupBox5 = nullptr;  // "Wav Sounds"
    QCheckBox* subwavchk = nullptr;
    QCheckBox* sitewavchk = nullptr;
    QCheckBox* completewavchk = nullptr;
    QCheckBox* failwavchk = nullptr;
    QLineEdit* subwav = nullptr;
    QLineEdit* sitewav = nullptr;
    QLineEdit* completewav = nullptr;
    QLineEdit* failwav = nullptr;
    QPushButton* BitBtn12 = nullptr;            // browse for subwav
    QPushButton* TransparentButton2 = nullptr;  // browse for sitewav
    QPushButton* BitBtn16 = nullptr;            // browse for completewav
    QPushButton* BitBtn17 = nullptr;            // browse for failwav
    QPlainTextEdit* custmemo = nullptr;
    QPushButton* Updatebtn = nullptr;  // "Update Engine Data"
    QPushButton* BitBtn4 = nullptr;    // "View Error Log"
    QPushButton* BitBtn8 = nullptr;    // "Clear Error Log"

public slots:
    void proxycheckClick();
    void proxyserverChange();
    void proxyportChange();
    void BitBtn12Click();
    void BitBtn15Click();
    void BitBtn16Click();
    void BitBtn17Click();
    // A typed password goes to the secret store (and the session) and the
    // field is emptied again.
    void smtppassExit();
    // A pause that is none is said at once; a typed key goes to the secret store.
    void rankpauseExit();
    void rankKeyExit(QLineEdit* edit, const std::string& engine);

signals:
    // Every edit of the proxy fields reaches the submission client.
    void proxyServerEdited(const QString& server);
    void proxyPortEdited(int port);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void chooseSound(QLineEdit* edit);
    // One key field per definition of the workspace that needs a key beyond
    // the shipped two; rebuilt when that list changed (an update may add one).
    void showRankKeyFields();

    std::string baseDir_;
    std::vector<std::string> extraKeyEngines_;
    std::map<std::string, QLineEdit*> extraKeyFields_;
    std::vector<QWidget*> extraKeyRows_;  // labels and fields, to take away again
};

}  // namespace tolvan::app

#pragma once
// "First Time Use": on the first start the user may sign up for the maker's
// announcements; the answers are posted as a web form.
#include <QDialog>

#include <memory>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tolvan {
class HttpClient;
}

namespace tolvan::app {

class SignupDialog : public QDialog {
    Q_OBJECT
public:
    // baseDir: where data/hosts.tlx names the sign-up host.
    SignupDialog(QWidget* parent, const std::string& baseDir);
    ~SignupDialog() override;

    HttpClient& HTTP3() { return *http_; }
    bool posting() const { return posting_; }

public slots:
    void Button1Click();
    void Button2Click();
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void interruptPost();

    std::string baseDir_;
    std::unique_ptr<HttpClient> http_;
    bool posting_ = false;
    bool closing_ = false;

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QPushButton* Button1;
    QPushButton* Button2;
};

// Start-up shows this while the FirstTime setting is yes.
void showFirstTimeDialog(QWidget* parent, const std::string& baseDir);

}  // namespace tolvan::app

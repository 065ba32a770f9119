#pragma once
// "About Tolvan": picture, version, the maker's home page and the switch into
// debug mode.
#include <QDialog>

class QPushButton;

namespace tolvan::app {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // makerWeb: the maker's home page opened by "Quendel Web".
    explicit AboutDialog(const QString& makerWeb, QWidget* parent = nullptr);

    QPushButton* closeButton = nullptr;
    QPushButton* webButton = nullptr;
    QPushButton* debugButton = nullptr;

signals:
    // "&Debug": the main window switches into debug mode.
    void debugRequested();

private:
    QString makerWeb_;
};

}  // namespace tolvan::app

#pragma once
// "Save Engine List" and "Load Engine List": name the engines to submit and
// save them under sites/, or pick a saved list (and delete lists).
#include <QDialog>
#include <QStringList>

#include <optional>

class QLabel;
class QPushButton;

namespace tolvan::app {

class SimpleComboBox;

class Tsaveeng : public QDialog {
    Q_OBJECT
public:
    // `engines` are the engines to submit at the time of saving.
    Tsaveeng(const QString& baseDir, const QStringList& engines, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    SimpleComboBox* savelist = nullptr;
    QPushButton* BitBtn1 = nullptr;  // OK
    QPushButton* BitBtn2 = nullptr;  // Cancel

public slots:
    // Saves the list under the typed name and closes; a name that cannot be a
    // list name is refused with a message and the dialog stays open.
    void BitBtn1Click();

private:
    QString baseDir_;
    QStringList engines_;
};

class Tloadeng : public QDialog {
    Q_OBJECT
public:
    explicit Tloadeng(const QString& baseDir, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    SimpleComboBox* loadlist = nullptr;
    QPushButton* deletelist = nullptr;
    QPushButton* BitBtn1 = nullptr;  // OK
    QPushButton* BitBtn2 = nullptr;  // Cancel

    // The engines of the list chosen by OK; empty when nothing was loaded.
    std::optional<QStringList> loadedEngines() const { return loaded_; }

public slots:
    void BitBtn1Click();
    // Deletes the typed list at once; the dialog stays open with the shorter list.
    void deletelistClick();

private:
    QString baseDir_;
    std::optional<QStringList> loaded_;
};

// Shows "Save Engine List" modally for `engines`; true when a list was written.
// The caller has checked that there are engines to save.
bool saveEngineListDialog(QWidget* parent, const QString& baseDir, const QStringList& engines);

// Shows "Load Engine List" modally; the loaded engines, or nothing. The caller
// has checked that sites/englist.tlx exists.
std::optional<QStringList> loadEngineListDialog(QWidget* parent, const QString& baseDir);

}  // namespace tolvan::app

#pragma once
// The "Engines" page: the available engines and the engines to submit.
#include <QStringList>
#include <QWidget>

#include "engines/EngineSelection.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace tolvan::app {

class SubmitPage;

class EnginesPage : public QWidget {
    Q_OBJECT
public:
    explicit EnginesPage(QWidget* parent = nullptr);

    // Base directory the engine lists live under (sites/englist.tlx).
    void setBaseDir(const QString& dir);
    QString baseDir() const { return baseDir_; }

    // Loads the engine index into the available list, which is sorted from then on.
    void setAvailableEngines(const QStringList& names);
    // Further names (custom engines), each at its sorted place; duplicates stand.
    void addAvailableEngines(const QStringList& names);
    // label1 := "<n> Search Engines Available".
    void showAvailableCount();

    QStringList enginesToSubmit() const;
    // Replaces the engines to submit (a loaded engine list) and rebuilds the copy
    // and Label3; the Submit page's count is left alone.
    void setEnginesToSubmit(const QStringList& names);

    // While a submission run goes, the engine lists cannot change: the editing
    // buttons are disabled and double clicks do nothing.
    void setRunning(bool running);
    bool isRunning() const { return running_; }

    QLabel* label1 = nullptr;
    QLabel* Label3 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QListWidget* ListBox2 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* TransparentButton3 = nullptr;
    QPushButton* TransparentButton4 = nullptr;

public slots:
    void ListBox1Click();
    void ListBox1DblClick();
    void Button1Click();
    void Button2Click();
    void BitBtn5Click();
    void Button3Click();
    void ListBox2DblClick();
    void TransparentButton3Click();
    void TransparentButton4Click();

signals:
    // The copy on the Submit page must become this list.
    void enginesToSubmitChanged(const QStringList& engines);
    // The Submit page shows this count on its LED panel and resets its caption.
    void engineCountShown(int count);
    // "Select All Engines" brings the Submit page to the front.
    void submitPageRequested();

private:
    void moveSelected();
    void showSelection();  // ListBox2 from selection_, then the copy and Label3
    void showCountOnSubmitPage();
    QString sitesPath(const QString& file) const;

    QString baseDir_;
    EngineSelection selection_;
    bool running_ = false;
};

// Keeps the Submit page's copy of the engines to submit and its count in step
// with the Engines page.
void linkEngineLists(EnginesPage* engines, SubmitPage* submit);

}  // namespace tolvan::app

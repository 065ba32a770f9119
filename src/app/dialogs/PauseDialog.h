#pragma once
// "Tolvan Paused": holds a submission run until the user resumes.
#include <QDialog>

namespace tolvan::app {

class PauseDialog : public QDialog {
    Q_OBJECT
public:
    explicit PauseDialog(QWidget* parent = nullptr);
};

}  // namespace tolvan::app

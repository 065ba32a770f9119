#pragma once
#include <QWidget>

namespace tolvan::app {

class SubmitPage : public QWidget {
    Q_OBJECT
public:
    explicit SubmitPage(QWidget* parent = nullptr);
};

}  // namespace tolvan::app

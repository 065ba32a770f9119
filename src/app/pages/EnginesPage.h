#pragma once
#include <QWidget>

namespace tolvan::app {

class EnginesPage : public QWidget {
    Q_OBJECT
public:
    explicit EnginesPage(QWidget* parent = nullptr);
};

}  // namespace tolvan::app

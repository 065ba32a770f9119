#pragma once
#include <QWidget>

namespace tolvan::app {

class OptionsPage : public QWidget {
    Q_OBJECT
public:
    explicit OptionsPage(QWidget* parent = nullptr);
};

}  // namespace tolvan::app

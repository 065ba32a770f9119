#pragma once
#include <QWidget>

namespace tolvan::app {

class SearchPage : public QWidget {
    Q_OBJECT
public:
    explicit SearchPage(QWidget* parent = nullptr);
};

}  // namespace tolvan::app

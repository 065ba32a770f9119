#pragma once
#include <QWidget>

namespace tolvan::app {

class PageBuilderPage : public QWidget {
    Q_OBJECT
public:
    explicit PageBuilderPage(QWidget* parent = nullptr);
};

}  // namespace tolvan::app

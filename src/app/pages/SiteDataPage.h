#pragma once
#include <QWidget>

namespace tolvan::app {

class SiteDataPage : public QWidget {
    Q_OBJECT
public:
    explicit SiteDataPage(QWidget* parent = nullptr);
};

}  // namespace tolvan::app

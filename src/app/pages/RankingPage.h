#pragma once
#include <QWidget>

namespace tolvan::app {

class RankingPage : public QWidget {
    Q_OBJECT
public:
    explicit RankingPage(QWidget* parent = nullptr);
};

}  // namespace tolvan::app

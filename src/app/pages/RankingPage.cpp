#include "app/pages/RankingPage.h"

namespace tolvan::app {

RankingPage::RankingPage(QWidget* parent) : QWidget(parent) {}

}  // namespace tolvan::app

#include "app/pages/EnginesPage.h"

namespace tolvan::app {

EnginesPage::EnginesPage(QWidget* parent) : QWidget(parent) {}

}  // namespace tolvan::app

#include "app/pages/OptionsPage.h"

namespace tolvan::app {

OptionsPage::OptionsPage(QWidget* parent) : QWidget(parent) {}

}  // namespace tolvan::app

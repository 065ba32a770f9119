#include "app/pages/SearchPage.h"

namespace tolvan::app {

SearchPage::SearchPage(QWidget* parent) : QWidget(parent) {}

}  // namespace tolvan::app

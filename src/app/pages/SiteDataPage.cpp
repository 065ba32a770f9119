#include "app/pages/SiteDataPage.h"

namespace tolvan::app {

SiteDataPage::SiteDataPage(QWidget* parent) : QWidget(parent) {}

}  // namespace tolvan::app

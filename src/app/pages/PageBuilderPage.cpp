#include "app/pages/PageBuilderPage.h"

namespace tolvan::app {

PageBuilderPage::PageBuilderPage(QWidget* parent) : QWidget(parent) {}

}  // namespace tolvan::app

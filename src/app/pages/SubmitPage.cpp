#include "app/pages/SubmitPage.h"

namespace tolvan::app {

SubmitPage::SubmitPage(QWidget* parent) : QWidget(parent) {}

}  // namespace tolvan::app

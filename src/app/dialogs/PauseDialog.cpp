#include "app/dialogs/PauseDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvan::app {

PauseDialog::PauseDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName("TPause");
    setWindowTitle("Tolvan Paused");
    setModal(true);
    auto* text = new QLabel("The current submission run is paused.  Press 'Resume' to continue.", this);
    text->setWordWrap(true);
    auto* resume = new QPushButton("Resume", this);
    resume->setObjectName("BitBtn1");
    resume->setDefault(true);
    connect(resume, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(resume, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint().expandedTo(QSize(320, 110)));
}

}  // namespace tolvan::app

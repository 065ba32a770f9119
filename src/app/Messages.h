#pragma once
// The program's message boxes: a modal box with an OK button and a fixed text.
#include <QString>

class QWidget;

namespace tolvan::app {

// An information box captioned "Tolvan". While the program is being ended by a
// signal no box is shown (nobody would answer it); the text goes to stderr.
void showMessage(QWidget* parent, const QString& text);
void showMessage(QWidget* parent, const QString& caption, const QString& text);

// A note nothing waits for: a box captioned "Tolvan" that stays open beside
// the window (objectName "noticeBox") while the work goes on.
void showNotice(QWidget* parent, const QString& text);

// The application's error box (an unexpected error ending a user action).
void showError(QWidget* parent, const QString& text);

}  // namespace tolvan::app

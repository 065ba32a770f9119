#pragma once
// Accessible interfaces of the LED number panels and lamps: screen readers and
// test tools read a panel's number and a lamp's state as the value.
class QWidget;

namespace tolvan::widgets {

// Registers the interfaces with Qt's accessibility (once; later calls do nothing).
void installLedAccessibility();

// Tells an active screen reader that the widget's value changed.
void notifyLedValueChanged(QWidget* widget);

}  // namespace tolvan::widgets

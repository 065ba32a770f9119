#include "widgets/LedAccessibility.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

#include <limits>

#include "widgets/LedLamp.h"
#include "widgets/LedNumber.h"

namespace tolvan::widgets {

namespace {

QString nameOf(const QWidget* widget)
{
    if (!widget->accessibleName().isEmpty())
        return widget->accessibleName();
    if (!widget->toolTip().isEmpty())
        return widget->toolTip();
    return widget->objectName();
}

class AccessibleLedNumber : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleLedNumber(LedNumber* led) : QAccessibleWidget(led, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: return nameOf(led());
        case QAccessible::Value: return led()->displayText();
        default: return QAccessibleWidget::text(t);
        }
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }

    QVariant currentValue() const override { return led()->value(); }
    void setCurrentValue(const QVariant&) override {}  // a display: the user cannot change it
    QVariant maximumValue() const override { return std::numeric_limits<int>::max(); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    LedNumber* led() const { return static_cast<LedNumber*>(widget()); }
};

class AccessibleLedLamp : public QAccessibleWidget {
public:
    explicit AccessibleLedLamp(LedLamp* lamp) : QAccessibleWidget(lamp, QAccessible::Indicator) {}

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: return nameOf(lamp());
        case QAccessible::Value: return lamp()->stateText();
        default: return QAccessibleWidget::text(t);
        }
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = lamp()->isOn();
        s.readOnly = true;
        return s;
    }

private:
    LedLamp* lamp() const { return static_cast<LedLamp*>(widget()); }
};

QAccessibleInterface* ledFactory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("tolvan::widgets::LedNumber"))
        return new AccessibleLedNumber(static_cast<LedNumber*>(object));
    if (className == QLatin1String("tolvan::widgets::LedLamp"))
        return new AccessibleLedLamp(static_cast<LedLamp*>(object));
    return nullptr;
}

}  // namespace

void installLedAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(ledFactory);
        return true;
    }();
    (void)installed;
}

void notifyLedValueChanged(QWidget* widget)
{
    if (!QAccessible::isActive())  // no screen reader: no interface is made for nothing
        return;
    QAccessibleValueChangeEvent event(widget, widget->property("value"));
    if (qobject_cast<LedLamp*>(widget))
        event.setValue(static_cast<LedLamp*>(widget)->stateText());
    QAccessible::updateAccessibility(&event);
}

}  // namespace tolvan::widgets

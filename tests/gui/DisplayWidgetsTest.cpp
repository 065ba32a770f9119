#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "widgets/BlinkLabel.h"
#include "widgets/LedLamp.h"
#include "widgets/LedNumber.h"

using namespace tolvan::widgets;

TEST(LedNumber, ShowsTheWholeNumberAndBlanksZeroOnlyWhenAsked)
{
    LedNumber led(nullptr, 3);
    EXPECT_EQ(led.displayText(), "0");
    led.setBlankWhenZero(true);
    EXPECT_EQ(led.displayText(), "");
    led.setValue(53);
    EXPECT_EQ(led.displayText(), "53");
    // More engines than the panel has digits: the number is not cut.
    led.setValue(2000);
    EXPECT_EQ(led.displayText(), "2000");
    led.setValue(-4);  // "not found" values show as nothing, never a minus
    EXPECT_EQ(led.value(), 0);
    EXPECT_EQ(led.displayText(), "");
    led.resize(led.sizeHint());
    EXPECT_FALSE(led.grab().isNull());
}

TEST(LedLamp, ColourValuesAreBlueGreenRed)
{
    EXPECT_EQ(LedLamp::colorFromValue(65280), QColor(0, 255, 0));
    EXPECT_EQ(LedLamp::colorFromValue(255), QColor(255, 0, 0));
    EXPECT_EQ(LedLamp::colorFromValue(4227327), QColor(255, 128, 64));
    LedLamp lamp;
    lamp.setColorValue(4227327);
    lamp.setOn(true);
    lamp.setInterval(1000);
    EXPECT_TRUE(lamp.isOn());
    EXPECT_EQ(lamp.interval(), 1000);
}

TEST(LedAccessibility, ScreenReadersReadTheNumberAndTheLampState)
{
    LedNumber led(nullptr, 3);
    led.setToolTip("Your position");
    led.setBlankWhenZero(true);
    QAccessibleInterface* ledInfo = QAccessible::queryAccessibleInterface(&led);
    ASSERT_NE(ledInfo, nullptr);
    EXPECT_EQ(ledInfo->text(QAccessible::Name), "Your position");  // no name given: the tool tip
    led.setAccessibleName("Success Count");
    EXPECT_EQ(ledInfo->text(QAccessible::Name), "Success Count");
    EXPECT_EQ(ledInfo->text(QAccessible::Value), "");  // blank, as shown
    led.setValue(42);
    EXPECT_EQ(ledInfo->text(QAccessible::Value), "42");
    ASSERT_NE(ledInfo->valueInterface(), nullptr);
    EXPECT_EQ(ledInfo->valueInterface()->currentValue().toInt(), 42);
    ledInfo->valueInterface()->setCurrentValue(7);  // a display, not an input
    EXPECT_EQ(led.value(), 42);

    LedLamp lamp;
    lamp.setAccessibleName("Infoseek lamp");
    QAccessibleInterface* lampInfo = QAccessible::queryAccessibleInterface(&lamp);
    ASSERT_NE(lampInfo, nullptr);
    EXPECT_EQ(lampInfo->role(), QAccessible::Indicator);
    EXPECT_EQ(lampInfo->text(QAccessible::Name), "Infoseek lamp");
    EXPECT_EQ(lampInfo->text(QAccessible::Value), "off");
    EXPECT_FALSE(lampInfo->state().checked);
    lamp.setColorValue(255);
    lamp.setOn(true);
    EXPECT_EQ(lampInfo->text(QAccessible::Value), "on, red");
    EXPECT_TRUE(lampInfo->state().checked);
    lamp.setColorValue(0x102030);
    lamp.setInterval(500);
    EXPECT_EQ(lampInfo->text(QAccessible::Value), "flashing, #302010");
}

TEST(LedAccessibility, ValuesAreQtPropertiesThatSignalChanges)
{
    LedNumber led(nullptr, 3);
    LedLamp lamp;
    QSignalSpy valueSpy(&led, &LedNumber::valueChanged);
    QSignalSpy stateSpy(&lamp, &LedLamp::stateChanged);

    EXPECT_TRUE(led.setProperty("value", 12));
    led.setValue(12);  // unchanged: no second signal
    lamp.setProperty("colorValue", 65280);  // already green
    lamp.setOn(true);

    EXPECT_EQ(led.property("displayText").toString(), "12");
    EXPECT_EQ(lamp.property("stateText").toString(), "on, green");
    EXPECT_TRUE(lamp.property("on").toBool());
    EXPECT_EQ(valueSpy.count(), 1);
    EXPECT_EQ(stateSpy.count(), 1);
}

TEST(BlinkLabel, BlinksOnScreenButKeepsItsText)
{
    BlinkLabel label;
    label.setText("Site Failed");
    label.startBlinking();
    EXPECT_TRUE(label.isBlinking());
    QTest::qWait(BlinkLabel::kBlinkInterval + 150);
    EXPECT_FALSE(label.textShown());
    EXPECT_EQ(label.text(), "Site Failed");
    label.stopBlinking();
    EXPECT_FALSE(label.isBlinking());
    EXPECT_TRUE(label.textShown());
}

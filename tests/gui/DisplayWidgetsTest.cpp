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

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "widgets/BlinkLabel.h"
#include "widgets/CaptionLabel.h"
#include "widgets/LedLamp.h"
#include "widgets/LedNumber.h"
#include "widgets/UniformRows.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>

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

// A list with uniform rows scrolls as far as one that measures every row: to
// the end of its widest text (a few pixels more at most, never less), wherever
// that text stands and however rows come and go.
TEST(UniformRows, ScrollRangeFollowsTheWidestText)
{
    QListWidget plain, uniform;
    UniformRows* rows = UniformRows::install(&uniform);
    QStringList names;
    for (int i = 0; i < 300; ++i)
        names << QStringLiteral("Engine %1").arg(i);
    const QString wide = QStringLiteral("A directory with a name far wider than the list can show at once");
    names.insert(150, wide);
    for (QListWidget* l : {&plain, &uniform}) {
        l->resize(160, 200);
        l->addItems(names);
        l->show();
    }
    auto settle = [&] {
        for (QListWidget* l : {&plain, &uniform})
            l->doItemsLayout();
        QApplication::processEvents();
    };
    settle();
    const int fullRange = plain.horizontalScrollBar()->maximum();
    const int slack = QFontMetrics(uniform.font()).averageCharWidth();
    ASSERT_GT(fullRange, 0);
    EXPECT_GE(uniform.horizontalScrollBar()->maximum(), fullRange);
    EXPECT_LE(uniform.horizontalScrollBar()->maximum(), fullRange + slack);
    EXPECT_EQ(uniform.visualItemRect(uniform.item(0)).height(), plain.visualItemRect(plain.item(0)).height());

    for (QListWidget* l : {&plain, &uniform})
        delete l->takeItem(150);
    settle();
    EXPECT_EQ(plain.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(uniform.horizontalScrollBar()->maximum(), 0);

    for (QListWidget* l : {&plain, &uniform})
        l->insertItem(7, wide);
    settle();
    EXPECT_GE(uniform.horizontalScrollBar()->maximum(), fullRange);
    EXPECT_LE(uniform.horizontalScrollBar()->maximum(), fullRange + slack);

    for (QListWidget* l : {&plain, &uniform}) {
        l->clear();
        l->addItems({QStringLiteral("a"), QStringLiteral("b")});
    }
    settle();
    EXPECT_EQ(uniform.horizontalScrollBar()->maximum(), 0);
    const QFontMetrics metrics(uniform.font());
    EXPECT_EQ(rows->widestText(), std::max(metrics.horizontalAdvance(QStringLiteral("a")),
                                           metrics.horizontalAdvance(QStringLiteral("b"))));
}

namespace {

// A stock QLabel set up as `label` is, under the same parent (so the same style).
std::unique_ptr<QLabel> stockTwin(const QLabel& label)
{
    // Given a text first, so that an empty text is a text too, as on `label`.
    auto twin = std::make_unique<QLabel>(QStringLiteral("-"), label.parentWidget());
    twin->setFont(label.font());
    twin->setTextFormat(label.textFormat());
    twin->setText(label.text());
    twin->setAlignment(label.alignment());
    twin->setWordWrap(label.wordWrap());
    twin->setMargin(label.margin());
    twin->setIndent(label.indent());
    twin->setFrameStyle(label.frameStyle());
    twin->setTextInteractionFlags(label.textInteractionFlags());
    twin->setContentsMargins(label.contentsMargins());
    twin->setMinimumSize(label.minimumSize());
    twin->setBuddy(label.buddy());
    return twin;
}

// The size hints, and the heights layouts ask for, of `label` and its stock twin.
void expectMeasuredAsQLabel(const QLabel& label, const std::string& what)
{
    const auto twin = stockTwin(label);
    EXPECT_EQ(label.sizeHint(), twin->sizeHint()) << what;
    EXPECT_EQ(label.minimumSizeHint(), twin->minimumSizeHint()) << what;
    for (int width : {40, 120, 333, 800})
        EXPECT_EQ(label.heightForWidth(width), twin->heightForWidth(width)) << what << " at " << width;
}

}  // namespace

TEST(CaptionLabel, MeasuresAsQLabelDoesAndFollowsEveryChange)
{
    QWidget page;
    QLineEdit buddy(&page);
    CaptionLabel label(QStringLiteral("Site Title:"), &page);
    expectMeasuredAsQLabel(label, "plain");

    // Each change after a measurement is measured again, whatever path it takes.
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"longer text", [&] { label.setText(QStringLiteral("Web Site to Rank (Do not enter the http://):")); }},
        {"two lines and a tab", [&] { label.setText(QStringLiteral("Engines\tCompleted:\nof all")); }},
        {"bigger font", [&] { label.setFont(QFont(label.font().family(), 17)); }},
        {"right, bottom", [&] { label.setAlignment(Qt::AlignRight | Qt::AlignBottom); }},
        {"margin", [&] { label.setMargin(3); }},
        {"indent", [&] { label.setIndent(7); }},
        {"framed", [&] { label.setIndent(-1), label.setFrameStyle(QFrame::Panel | QFrame::Sunken); }},
        {"contents margins", [&] { label.setContentsMargins(2, 4, 6, 8); }},
        {"minimum width", [&] { label.setMinimumWidth(500); }},
        {"word wrap", [&] {
             label.setText(QStringLiteral("Check how a search engine lists your site: choose an engine, pick "
                                          "what to look for and the page shows the first results."));
             label.setWordWrap(true);
         }},
        {"wrapped, new text", [&] { label.setText(QStringLiteral("A shorter note that still wraps somewhere.")); }},
        {"wrapped, smaller font", [&] { label.setFont(QFont(label.font().family(), 7)); }},
        {"no wrap again", [&] { label.setWordWrap(false); }},
        // Left to QLabel itself.
        {"rich text", [&] { label.setText(QStringLiteral("<b>Results</b> of the check")); }},
        {"mnemonic", [&] { label.setText(QStringLiteral("&Name:")), label.setBuddy(&buddy); }},
        {"selectable", [&] {
             label.setText(QStringLiteral("Last Submission: Unknown"));
             label.setTextInteractionFlags(Qt::TextSelectableByMouse);
         }},
        {"empty", [&] { label.setText(QString()); }},
    };
    for (const auto& [what, change] : changes) {
        change();
        expectMeasuredAsQLabel(label, what);
    }
}

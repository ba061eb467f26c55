// The frames with a check box on their edge, with the two captions that carry the blanks for it:
// the box sits in the blanks before the caption's first letter, on the caption's line, and
// works as any check box does.
#include "ui/EdgeCheckFrame.h"

#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace vantrell {
namespace {

TEST(EdgeCheckFrame, TheBoxSitsInTheCaptionsLeadingBlanks) {
    for (const char *caption : {"       Report ", "     Alarm based on hardware device limits "}) {
        SCOPED_TRACE(caption);
        auto *check = new QCheckBox;
        EdgeCheckFrame frame(caption, check);
        auto *contents = new QLabel("Mail:");
        (new QVBoxLayout(&frame))->addWidget(contents);
        frame.show();

        const QString title = frame.title();
        const QString blanks = title.left(title.indexOf(title.trimmed()));
        constexpr int slack = 2; // pixels of the first letter the mark's frame may touch
        EXPECT_EQ(check->parentWidget(), &frame);
        EXPECT_LE(check->geometry().right(),
                  check->x() + frame.fontMetrics().horizontalAdvance(blanks) + slack);
        EXPECT_LT(check->geometry().bottom(), contents->geometry().top());
        QTest::mouseClick(check, Qt::LeftButton, {}, check->rect().center());
        EXPECT_TRUE(check->isChecked());
        QTest::keyClick(check, Qt::Key_Space);
        EXPECT_FALSE(check->isChecked());
    }
}

} // namespace
} // namespace vantrell

#include "window/qt/check_box.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "window/testing/qt_test_support.h"

namespace snipforge {
namespace {

TEST(CheckBoxTest, HoldsZeroOneAndTwo) {
  testing::TestApplication();
  const struct {
    int value;
    Qt::CheckState state;
  } cases[] = {{0, Qt::Unchecked}, {1, Qt::Checked}, {2, Qt::PartiallyChecked}};
  for (const auto& c : cases) {
    CheckBox box(QStringLiteral("Output Goodframes"));
    box.SetValue(c.value);
    EXPECT_EQ(box.checkState(), c.state) << c.value;
    EXPECT_EQ(box.Value(), c.value);
    box.SetValue(7);
    EXPECT_EQ(box.Value(), c.value) << "a value other than 0, 1, 2 leaves the box as it was";
  }
}

TEST(CheckBoxTest, AClickAnywhereOnItAsksForTheNextValueAndLeavesTheBox) {
  testing::TestApplication();
  CheckBox box(QStringLiteral("Include text from input in output"));
  box.resize(137, 25);
  box.SetValue(2);
  QSignalSpy asked(&box, &CheckBox::ToggleRequested);
  QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(120, 12));  // on the caption's far end
  QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, 12));
  EXPECT_EQ(asked.count(), 2);
  EXPECT_EQ(box.Value(), 2) << "the window sets the value the logic decides";
}

}  // namespace
}  // namespace snipforge

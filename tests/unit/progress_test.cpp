#include "job/progress.h"
#include "skin/controls.h"

#include <gtest/gtest.h>

namespace pagerift {
namespace {

struct Bar {
  Form form = MakeMainForm();
  Control& left = form[imgPBLeft];
  Control& fill = form[imgPB];
  Control& right = form[imgPBRight];
};

TEST(ProgressBar, OneFileCollapsesStepsAndFillsTheBar) {
  Bar b;
  ASSERT_FALSE(b.left.Visible || b.fill.Visible || b.right.Visible);
  ProgressStartLayout(b.form);
  EXPECT_EQ(b.fill.Left, 660.0f);
  EXPECT_EQ(b.fill.Width, 1.0f);
  EXPECT_EQ(b.right.Left, 661.0f);
  EXPECT_TRUE(b.left.Visible && b.fill.Visible && b.right.Visible);

  b.form.lngStep = 1;
  ProgressStepLayout(b.form);
  EXPECT_EQ(b.fill.Left, 660.0f);
  EXPECT_EQ(b.right.Left, 611.65f);  // behind the left cap
  EXPECT_EQ(b.fill.Width, 1.0f);     // -41.35 was refused

  ProgressFullLayout(b.form);
  EXPECT_EQ(b.right.Left, 3250.0f);
  EXPECT_EQ(b.fill.Left, 660.0f);
  EXPECT_EQ(b.fill.Width, 2595.0f);  // 5 twips into the right cap
  EXPECT_TRUE(b.left.Visible && b.fill.Visible && b.right.Visible);
  EXPECT_EQ(b.fill.Top, 6855.0f);
}

TEST(ProgressBar, LaterStepsSubtractTheRightCapsWidth) {
  Bar b;
  ProgressStartLayout(b.form);
  b.right.Width = 90;  // tells the caps apart
  b.form.lngStep = 50;
  ProgressStepLayout(b.form);
  EXPECT_EQ(b.right.Left, 1917.5f);  // (3250 - 585) / 2 + 585
  EXPECT_EQ(b.fill.Width, 1249.5f);  // 1332.5 - 90 + 7
}

TEST(ProgressBar, TheEndOfTheTrackIgnoresTheScreenDensity) {
  Bar b;  // as the start-up leaves it at 12 twips per pixel
  b.left.Left = 468;
  b.left.Width = b.right.Width = 60;
  ProgressStartLayout(b.form);
  EXPECT_EQ(b.fill.Left, 528.0f);
  ProgressFullLayout(b.form);
  EXPECT_EQ(b.right.Left, 3250.0f);
  EXPECT_EQ(b.fill.Width, 2727.0f);  // 3250 - 468 - 60 + 5
}

}  // namespace
}  // namespace pagerift

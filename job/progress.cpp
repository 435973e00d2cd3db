#include "job/progress.h"

#include "skin/controls.h"

namespace pagerift {

namespace {

// Where the right cap sits when the bar is full. A fixed twips value: it does
// not follow the DPI rescale of the start-up, while the left cap does.
constexpr double kTrackEnd = 3250;
constexpr double kStepDivisor = 100;
constexpr double kStepFillExtra = 7;
constexpr double kFullFillExtra = 5;

// The fill starts right after the left cap.
void PlaceFillAfterLeftCap(Form& form) {
  const Control& left = form[imgPBLeft];
  form[imgPB].Left = static_cast<float>(double{left.Left} + left.Width);
}

}  // namespace

void ProgressStartLayout(Form& form) {
  Control& fill = form[imgPB];
  fill.SetWidth(1);
  PlaceFillAfterLeftCap(form);
  form[imgPBRight].Left = static_cast<float>(double{fill.Left} + fill.Width);
  form[imgPBRight].Visible = true;
  form[imgPBLeft].Visible = true;
  fill.Visible = true;
}

void ProgressStepLayout(Form& form) {
  const double p = form.lngStep / kStepDivisor;
  PlaceFillAfterLeftCap(form);
  const double left = form[imgPBLeft].Left;
  const double span = (kTrackEnd - left) * p;
  Control& right = form[imgPBRight];
  right.Left = static_cast<float>(span + left);
  // Early steps give a negative width; the fill refuses it and stays as it was.
  form[imgPB].SetWidth(static_cast<float>(span - right.Width + kStepFillExtra));
}

void ProgressFullLayout(Form& form) {
  Control& right = form[imgPBRight];
  right.Left = static_cast<float>(kTrackEnd);
  PlaceFillAfterLeftCap(form);
  const double left = form[imgPBLeft].Left;
  // The fill reaches a few twips into the right cap so no gap shows.
  form[imgPB].SetWidth(
      static_cast<float>(double{right.Left} - left - right.Width + kFullFillExtra));
}

}  // namespace pagerift

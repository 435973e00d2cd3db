// The three-piece progress bar below the visible area.
#pragma once

#include "core/form.h"

namespace pagerift {

void ProgressStartLayout(Form& form);
void ProgressStepLayout(Form& form);  // reads form.lngStep
void ProgressFullLayout(Form& form);

}  // namespace pagerift

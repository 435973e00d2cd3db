#include "core/form.h"

namespace pagerift {

bool Control::SetWidth(float w) {
  if (w < 0) return false;
  Width = w;
  return true;
}

bool Control::SetHeight(float h) {
  if (h < 0) return false;
  Height = h;
  return true;
}

bool Control::SetListIndex(int index) {
  if (index < -1 || index >= static_cast<int>(List.size())) return false;
  ListIndex = index;
  return true;
}

}  // namespace pagerift

#include "core/form.h"

#include <stdexcept>

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

Control* Form::Find(std::string_view name) {
  for (auto& c : controls)
    if (c.name == name) return &c;
  return nullptr;
}

const Control* Form::Find(std::string_view name) const {
  for (auto& c : controls)
    if (c.name == name) return &c;
  return nullptr;
}

Control& Form::operator[](std::string_view name) {
  if (auto* c = Find(name)) return *c;
  throw std::out_of_range("no control " + std::string(name));
}

const Control& Form::operator[](std::string_view name) const {
  if (auto* c = Find(name)) return *c;
  throw std::out_of_range("no control " + std::string(name));
}

}  // namespace pagerift

// Queuing source files: a click on the drop zone or a drop onto it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/events.h"
#include "core/ports.h"
#include "core/form.h"

namespace pagerift {

void DropZoneClick(Form& form, Ports& ports);
void DropZoneDragOver(Form& form, DragState state);
// `files` is the dropped file list when the data offers one. Returns the
// drop effect to report.
unsigned DropZoneDrop(Form& form, Ports& ports,
                      const std::optional<std::vector<std::string>>& files);

}  // namespace pagerift

#include "intake/intake.h"

#include "intake/getfile.h"
#include "skin/controls.h"

namespace pagerift {
namespace {

// Hands the queue over to the job: the zone goes away before the pump so the
// user cannot click or drop again while the start is pending, and the job
// itself starts from the timer's tick, after this handler has returned.
void ArmStart(Form& form, Ports& ports) {
  form[picDrag].Visible = false;
  ports.pump.DoEvents();
  form[Timer1].Enabled = true;
}

void ShowDropZoneLook(Form& form, ControlId holder) {
  form[picDrag].Picture = form[holder].Picture;
}

}  // namespace

void DropZoneClick(Form& form, Ports& ports) {
  // No multi-select and no must-exist: one path at most, and a typed name
  // comes back as typed. The current folder must stay put, as the splitter
  // writes its pages there.
  const std::string path =
      GetFile(ports, "Open Files", "", "PDF Files(*.PDF)|*.pdf", kOfnLongNames | kOfnNoChangeDir);
  if (path.empty()) return;
  Queue(form).push_back(path);
  ArmStart(form, ports);
}

void DropZoneDragOver(Form& form, DragState state) {
  ShowDropZoneLook(form, state == DragState::Over ? imgDragLight : imgDrag);
}

unsigned DropZoneDrop(Form& form, Ports& ports,
                      const std::optional<std::vector<std::string>>& files) {
  ShowDropZoneLook(form, imgDrag);
  // Paths are queued as given; a folder or a non-PDF is the job's to report.
  if (files) {
    auto& queue = Queue(form);
    queue.insert(queue.end(), files->begin(), files->end());
  }
  if (!Queue(form).empty()) ArmStart(form, ports);
  // Copy even when nothing was taken, so the source never treats the data
  // as moved away.
  return kDropEffectCopy;
}

}  // namespace pagerift

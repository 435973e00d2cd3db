#include "intake/folder_choice.h"

#include "skin/controls.h"

namespace pagerift {

void BrowseClick(Form& form, Ports& ports) {
  // Cancel, or an item without a file-system path, keeps the folder as it was.
  if (auto chosen = ports.dialogs.BrowseForFolder("Please select a folder:")) {
    form[txtPath].Text = *chosen;
  }
  // The label is shortened after every use of the dialog, chosen or not.
  Control& label = form[lblPath];
  label.Caption = ShortenCaption(label.Caption);
}

}  // namespace pagerift

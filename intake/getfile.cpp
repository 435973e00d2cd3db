#include "intake/getfile.h"

#include "core/text.h"

namespace pagerift {

std::string ResolveInitialFolder(const std::string& folder, const std::string& programFolder,
                                 FileSystem& fs) {
  if (IsOnlySpaces(folder)) return programFolder;
  const std::string withSlash = WithTrailingBackslash(folder);
  // The dialog would open somewhere arbitrary in a folder it cannot list, so
  // anything that does not show at least one entry counts as missing.
  return fs.FolderHasEntries(withSlash) ? withSlash : programFolder;
}

std::string ConvertFilter(const std::string& filter) {
  const std::string text = IsOnlySpaces(filter) ? std::string("*.*|*.*") : filter;
  std::string out;
  out.reserve(text.size() + 1);
  for (char c : text) out += c == '|' ? '\0' : c;
  out += '\0';  // after the last piece; the string's own terminator closes the list
  return out;
}

std::string GetFile(Ports& ports, const std::string& title, const std::string& initialFolder,
                    const std::string& filter, uint32_t flags) {
  OpenFileRequest request;
  request.title = title;
  request.initialFolder =
      ResolveInitialFolder(initialFolder, ports.shell.ProgramFolder(), ports.fs);
  request.filter = ConvertFilter(filter);
  request.flags = flags;
  return ports.dialogs.OpenFile(request);
}

}  // namespace pagerift

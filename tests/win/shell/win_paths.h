// Build paths are Unix paths; under wine the Unix root is drive Z:.
#pragma once

#include <string>

inline std::string WinPath(std::string unixPath) {
  for (char& c : unixPath)
    if (c == '/') c = '\\';
  return "Z:" + unixPath;
}

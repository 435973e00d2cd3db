#include "splitter/platform/fs.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pagerift::splitter::fs {

Kind kind_of(const std::string& path, std::string* error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return Kind::missing;
    if (error) *error = std::strerror(errno);
    return Kind::other;
  }
  if (S_ISDIR(st.st_mode)) return Kind::directory;
  if (S_ISREG(st.st_mode)) return Kind::file;
  return Kind::other;
}

FILE* open_read(const std::string& path, std::string& error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) error = std::strerror(errno);
  return f;
}

Handle create_new(const std::string& path, bool& exists, std::string& error) {
  exists = false;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    exists = errno == EEXIST;
    error = std::strerror(errno);
    return kNoHandle;
  }
  return fd;
}

bool write_all(Handle file, const char* data, std::size_t size, std::string& error) {
  while (size > 0) {
    ssize_t n = ::write(static_cast<int>(file), data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = std::strerror(n < 0 ? errno : ENOSPC);
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool close(Handle file, std::string& error) {
  if (::close(static_cast<int>(file)) == 0) return true;
  error = std::strerror(errno);
  return false;
}

bool rename_new(const std::string& from, const std::string& to, bool& exists, std::string& error) {
  exists = false;
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) {
    exists = errno == EEXIST;
    error = std::strerror(errno);
    return false;
  }
#endif
  // A file system without that kind of rename: a new link fails just as surely on a taken name.
  if (::link(from.c_str(), to.c_str()) != 0) {
    exists = errno == EEXIST;
    error = std::strerror(errno);
    return false;
  }
  ::unlink(from.c_str());
  return true;
}

void remove_file(const std::string& path) { ::unlink(path.c_str()); }

bool list_names(const std::string& dir, std::vector<std::string>& names, std::string& error) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) {
    error = std::strerror(errno);
    return false;
  }
  errno = 0;
  while (dirent* entry = ::readdir(d)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  bool ok = errno == 0;
  if (!ok) error = std::strerror(errno);
  ::closedir(d);
  return ok;
}

std::string name_key(const std::string& name) { return name; }

unsigned long process_id() { return static_cast<unsigned long>(::getpid()); }

std::string file_name(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void error_line(const std::string& utf8) {
  std::string line = utf8 + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace pagerift::splitter::fs

#include "splitter/fs.h"

#include <cerrno>
#include <cstring>
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

FILE* create_new(const std::string& path, bool& exists, std::string& error) {
    exists = false;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        exists = errno == EEXIST;
        error = std::strerror(errno);
        return nullptr;
    }
    FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        error = std::strerror(errno);
        ::close(fd);
        ::unlink(path.c_str());
    }
    return f;
}

bool replace(const std::string& from, const std::string& to, std::string& error) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    error = std::strerror(errno);
    return false;
}

void remove_file(const std::string& path) { ::unlink(path.c_str()); }

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

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

// The temporary file, its sync, the rename and the sync of the folder.
#include "props/durable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

// Writes the bytes to a new file at path and makes them durable before
// returning true. A leftover file there (or a link planted in its place) is
// removed first, so the bytes never land anywhere but in the new file.
bool writeSynced(const std::string& path, const std::string& bytes) {
  ::unlink(path.c_str());
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  return ok;
}

// Makes the rename itself durable; failure here loses nothing already saved.
void syncDirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : path.substr(0, slash ? slash : 1);
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Creates the missing folders above the file at path, private to the
// player as the XDG base directory rules ask; false when one cannot be made.
bool makeFoldersOf(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

}  // namespace

ReplaceResult replaceFile(const std::string& path, const std::string& bytes, bool makeFolders,
                          ReplaceHook hook) {
  std::string tempPath = path + ".tmp";
  if ((makeFolders && !makeFoldersOf(path)) || !writeSynced(tempPath, bytes)) {
    ::unlink(tempPath.c_str());
    return ReplaceResult::failed;
  }
  if (hook && !hook(tempPath.c_str())) return ReplaceResult::stoppedByHook;
  if (std::rename(tempPath.c_str(), path.c_str()) != 0) {
    ::unlink(tempPath.c_str());
    return ReplaceResult::failed;
  }
  syncDirectoryOf(path);
  return ReplaceResult::replaced;
}

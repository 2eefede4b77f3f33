/*
** The download file: a private temporary file renamed into place.
*/
#include "filesink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

FileSink::~FileSink() {
  Discard();
}

bool FileSink::Fail(const std::string& what, int error) {
  m_error = what + ": " + std::strerror(error);
  return false;
}

bool FileSink::Open() {
  Discard();
  m_error.clear();
  m_broken = false;
  if (m_target.empty()) {
    m_error = "no file name";
    return false;
  }
  static const char kSuffix[] = ".part";
  std::string pattern = m_target + ".XXXXXX" + kSuffix;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkostemps(name.data(), sizeof(kSuffix) - 1, O_CLOEXEC);
  if (fd < 0) return Fail("cannot create a file beside " + m_target, errno);
  m_fd = fd;
  m_temp = name.data();
  return true;
}

bool FileSink::Write(const char* data, size_t size) {
  if (m_fd < 0 || m_broken) return false;
  while (size > 0) {
    ssize_t n = write(m_fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      m_broken = true;
      return Fail("writing " + m_temp + " failed", n < 0 ? errno : ENOSPC);
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool FileSink::Commit() {
  if (m_fd < 0 || m_broken) {
    if (m_error.empty()) m_error = "nothing to keep";
    Discard();
    return false;
  }
  bool ok = fsync(m_fd) == 0 || Fail("flushing " + m_temp + " failed", errno);
  ok = (close(m_fd) == 0 || Fail("closing " + m_temp + " failed", errno)) && ok;
  m_fd = -1;
  ok = ok && (std::rename(m_temp.c_str(), m_target.c_str()) == 0 ||
              Fail("cannot rename the download to " + m_target, errno));
  if (!ok) unlink(m_temp.c_str());
  m_temp.clear();
  return ok;
}

void FileSink::Discard() {
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
  if (!m_temp.empty()) unlink(m_temp.c_str());
  m_temp.clear();
}

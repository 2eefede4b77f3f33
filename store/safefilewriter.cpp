/*
** The safe-save output file.  The temporary name sits beside the target
** (same directory, extension ".~bw"), so the final rename stays on one file
** system and is atomic.  The temporary file is synced before the rename and
** the directory after it, so after a crash the target is either the old or
** the new complete file.
*/
#include "safefilewriter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

/* Returns the offset just past the last path separator of PATH, or 0. */
static size_t FileNameStart(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? 0 : slash + 1;
}

/* Opens the directory of PATH and syncs it so that a rename in it is
** durable.  Returns true when the sync succeeded or is not supported. */
static bool SyncDirectoryOf(const std::string& path) {
  size_t start = FileNameStart(path);
  std::string dir = start == 0 ? std::string(".") : path.substr(0, start);
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return true;
  bool ok = fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
  close(fd);
  return ok;
}

SafeFileWriter::SafeFileWriter() = default;

/* Closes an open output, replacing the target when it is complete. */
SafeFileWriter::~SafeFileWriter() {
  if (m_out) SafeFileWriter::FinishOutput();
}

/* Sets the target file name.  Returns false, and forgets any earlier name
** so that Open() fails, when PATH is absent, empty or longer than
** MaxPathLength. */
bool SafeFileWriter::SetFileName(const char* path) {
  m_target.clear();
  if (!path || !*path || strlen(path) > MaxPathLength) return false;
  m_target = path;
  return true;
}

/* Turns writing through a temporary file on or off for the next Open(). */
void SafeFileWriter::EnableSafeSave(bool on) {
  m_safeSave = on;
}

/* Opens the output: the temporary file under safe save, else the target.
** Returns false when no name is set or no file can be created. */
bool SafeFileWriter::Open() {
  if (m_out) FinishOutput();
  return OpenOutput();
}

/* Finishes the output (see FinishOutput).  Returns false when any write
** failed, nothing was open, or the target could not be replaced. */
bool SafeFileWriter::Close() {
  if (!m_out) return false;
  return FinishOutput();
}

/* Chooses the output file and opens it for writing.  Returns true when a
** file is open. */
bool SafeFileWriter::OpenOutput() {
  m_failed = false;
  m_temp.clear();
  if (m_target.empty()) return false;
  if (m_safeSave) {
    /* Only a dot in the file's own name counts: a dot in a directory name
        ** would put the temporary file into another directory. */
    size_t dot = m_target.rfind('.');
    if (dot != std::string::npos && dot >= FileNameStart(m_target)) {
      std::string temp = m_target.substr(0, dot) + ".~bw";
      if (temp.size() > MaxPathLength) return false;
      if (temp != m_target) {
        m_out = fopen(temp.c_str(), "w");
        if (m_out) {
          m_temp = temp;
          KeepTargetMode();
          return true;
        }
      }
    }
  }
  m_out = fopen(m_target.c_str(), "w");
  return m_out != nullptr;
}

/* Gives the temporary file the permission bits of an existing target, so
** that replacing the target does not change who may read it. */
void SafeFileWriter::KeepTargetMode() {
  struct stat target;
  if (stat(m_target.c_str(), &target) == 0 && S_ISREG(target.st_mode))
    fchmod(fileno(m_out), target.st_mode & 07777);
}

/* Writes LENGTH bytes of DATA.  Returns false, and turns every later write
** into a no-op, once a write has failed. */
bool SafeFileWriter::WriteBytes(const char* data, size_t length) {
  if (!m_out || m_failed) return false;
  if (length && fwrite(data, 1, length, m_out) != length) {
    m_failed = true;
    return false;
  }
  return true;
}

/* Removes a temporary file after a failure; the target stays as it was. */
void SafeFileWriter::Discard() {
  if (!m_temp.empty()) remove(m_temp.c_str());
  m_temp.clear();
}

/* Flushes and closes the output and, under safe save, moves the temporary
** file over the target.  Returns true when every byte reached the disk and
** the target now holds the new content. */
bool SafeFileWriter::FinishOutput() {
  bool ok = !m_failed && fflush(m_out) == 0 && !ferror(m_out);
  if (ok && !m_temp.empty()) ok = fsync(fileno(m_out)) == 0;
  ok = fclose(m_out) == 0 && ok;
  m_out = nullptr;
  m_failed = false;
  if (ok && m_check) ok = m_check(m_temp.empty() ? m_target : m_temp);
  if (!ok) {
    Discard();
    return false;
  }
  if (m_temp.empty()) return true;
  if (rename(m_temp.c_str(), m_target.c_str()) != 0) {
    Discard();
    return false;
  }
  m_temp.clear();
  return SyncDirectoryOf(m_target);
}

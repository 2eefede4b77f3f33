/*
** FileSink: writes a download into a private temporary file beside its
** target and moves it into place only when the whole file has arrived.
**
** The temporary file gets a random name ("<target>.XXXXXX.part") and mode
** 0600 and is created exclusively, so nobody else's file or link can be
** written through; the final rename replaces a link rather than following
** it.  Until Commit() the target is untouched.
**
** Protocol: SetFileName -> Open -> Write... -> Commit (or Discard).  The
** destructor discards an uncommitted file.
** Errors: Open() fails when the folder cannot take a new file; Write()
** fails on any short write (a full disk, a file-size limit) and every
** later Write() and Commit() then fails too; Commit() fails when the data
** cannot be flushed or renamed, and the temporary file is removed.
** ErrorText() says why.
*/
#ifndef FILESINK_H
#define FILESINK_H

#include <cstddef>
#include <string>

class FileSink {
 public:
  FileSink() = default;
  ~FileSink();
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  void SetFileName(const std::string& path) { m_target = path; }
  const std::string& FileName() const { return m_target; }

  /* Creates the temporary file; true on success. */
  bool Open();

  /* Appends SIZE bytes; false (and the sink broken) when not all were written. */
  bool Write(const char* data, size_t size);

  /* Flushes the temporary file to disk and renames it to the target. */
  bool Commit();

  /* Closes and deletes the temporary file (nothing happens when none is open). */
  void Discard();

  bool IsOpen() const { return m_fd >= 0; }
  const std::string& TempName() const { return m_temp; }
  const std::string& ErrorText() const { return m_error; }

 private:
  bool Fail(const std::string& what, int error);

  std::string m_target;
  std::string m_temp;
  std::string m_error;
  int m_fd = -1;
  bool m_broken = false;
};

#endif /* FILESINK_H */

/*
** SafeFileWriter: an output file that can replace its target only once the
** new content is complete.  With safe save on, the output goes to a sibling
** file whose extension is replaced by ".~bw"; Close() flushes it to disk and
** renames it over the target, so a crash or a full disk never leaves a
** half-written target behind.  Any failed write makes every later write a
** no-op and Close() report false, leaving the old target untouched.
*/
#ifndef SAFEFILEWRITER_H
#define SAFEFILEWRITER_H

#include <climits>
#include <cstddef>
#include <cstdio>
#include <string>

class SafeFileWriter {
 public:
  /* Longest file name kept; a longer name is refused, never cut. */
  static constexpr size_t MaxPathLength = PATH_MAX - 1;

  SafeFileWriter();
  /* Closes an open output, replacing the target when it is complete. */
  virtual ~SafeFileWriter();

  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;

  /* Sets the target file name.  Returns false, and forgets any earlier name
  ** so that Open() fails, when PATH is absent, empty or longer than
  ** MaxPathLength. */
  bool SetFileName(const char* path);
  /* Turns writing through a temporary file on or off for the next Open(). */
  void EnableSafeSave(bool on = true);

  /* Opens the output: the temporary file under safe save, else the target.
  ** Returns false when no name is set or no file can be created. */
  virtual bool Open();
  /* Finishes the output (see FinishOutput).  Returns false when any write
  ** failed, nothing was open, or the target could not be replaced. */
  virtual bool Close();

  bool IsOpen() const { return m_out != nullptr; }
  bool Failed() const { return m_failed; }
  const std::string& FileName() const { return m_target; }
  const std::string& TempFileName() const { return m_temp; }

 protected:
  /* Writes LENGTH bytes of DATA.  Returns false, and turns every later write
  ** into a no-op, once a write has failed. */
  bool WriteBytes(const char* data, size_t length);

 private:
  /* Chooses the output file and opens it for writing.  Returns true when a
  ** file is open. */
  bool OpenOutput();
  /* Gives the temporary file the permission bits of an existing target, so
  ** that replacing the target does not change who may read it. */
  void KeepTargetMode();
  /* Flushes and closes the output and, under safe save, moves the temporary
  ** file over the target.  Returns true when every byte reached the disk and
  ** the target now holds the new content. */
  bool FinishOutput();
  /* Removes a temporary file after a failure; the target stays as it was. */
  void Discard();

  FILE* m_out = nullptr;
  std::string m_target;
  std::string m_temp;
  bool m_safeSave = false;
  bool m_failed = false;
};

#endif

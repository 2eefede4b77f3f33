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
#include <functional>
#include <string>

class SafeFileWriter {
 public:
  /* Longest file name kept; a longer name is refused, never cut. */
  static constexpr size_t MaxPathLength = PATH_MAX - 1;

  SafeFileWriter();
  virtual ~SafeFileWriter();

  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;

  /* Sets CHECK to run on the complete output file (its path given) before
  ** it replaces the target under safe save; a false result discards it and
  ** makes Close() fail.  Without a temporary file the check runs on the
  ** target itself, after it was written. */
  void SetCheck(std::function<bool(const std::string&)> check) { m_check = std::move(check); }

  bool SetFileName(const char* path);
  void EnableSafeSave(bool on = true);

  virtual bool Open();
  virtual bool Close();

  bool IsOpen() const { return m_out != nullptr; }
  bool Failed() const { return m_failed; }
  const std::string& FileName() const { return m_target; }
  const std::string& TempFileName() const { return m_temp; }

 protected:
  bool WriteBytes(const char* data, size_t length);

 private:
  bool OpenOutput();
  void KeepTargetMode();
  bool FinishOutput();
  void Discard();

  FILE* m_out = nullptr;
  std::string m_target;
  std::string m_temp;
  bool m_safeSave = false;
  bool m_failed = false;
  std::function<bool(const std::string&)> m_check;
};

#endif

/*
** XB_DiagLog: the leveled diagnostic log, a second diagnostic channel next
** to the log sink.
**
** Every message carries a numeric level; it is formatted and queued only
** when its level is at most the log's threshold.  The threshold starts at 0
** and no file is named, so by default the channel produces nothing.  When a
** file is named (at least 3 characters), queued lines are appended to it;
** a file that has grown past the size limit is first moved, replacing any
** earlier one, to the same name with "-old." before the extension
** ("net.log" becomes "net-old.log").
*/
#ifndef XB_DIAGLOG_H
#define XB_DIAGLOG_H

#include <deque>

#include "xb_string.h"

class XB_DiagLog {
 public:
  /* The size past which the file is moved aside before more is appended. */
  static constexpr long long kDefaultSizeLimit = 1024 * 1024;
  /* Lines kept in memory while no file is named; older ones are dropped. */
  static constexpr size_t kMaxQueued = 1000;

  XB_DiagLog() = default;
  XB_DiagLog(const XB_DiagLog&) = delete;
  XB_DiagLog& operator=(const XB_DiagLog&) = delete;

  int Threshold() const { return m_threshold; }
  void SetThreshold(int threshold) { m_threshold = threshold; }

  /* Names the file that queued lines go to; a name shorter than 3
  ** characters (or null) names none.  Returns true when a file is named. */
  bool SetFile(const char* path);
  const XB_String& File() const { return m_file; }
  void SetSizeLimit(long long bytes) { m_sizeLimit = bytes; }

  /* True when a message of LEVEL would be kept. */
  bool Wants(int level) const { return level <= m_threshold; }

  /* Formats FORMAT with ARGS and queues it when LEVEL is at most the threshold. */
  template <class... A>
  void Log(int level, const char* format, const A&... args) {
    if (!Wants(level)) return;
    XB_String line;
    line.Format(format, args...);
    Queue(level, line);
  }

  /* Queues LINE (already formatted) when LEVEL is at most the threshold;
  ** with a file named, the queue is written out at once. */
  void Queue(int level, const XB_String& line);

  /* Appends the queue to the file, moving an oversized file aside first.
  ** Returns false and keeps the lines when the file cannot be written. */
  bool Flush();

  /* The lines still queued, oldest first. */
  const std::deque<XB_String>& Pending() const { return m_pending; }
  void ClearPending() { m_pending.clear(); }

  /*
  ** The name with "-old." put before the extension of the last path
  ** component, or "-old" appended when it has no extension.
  */
  static XB_String OldName(std::string_view path);

 private:
  int m_threshold = 0;
  XB_String m_file;
  long long m_sizeLimit = kDefaultSizeLimit;
  std::deque<XB_String> m_pending;
};

/* The process's diagnostic log, used by the HTTP client. */
XB_DiagLog& XB_SharedDiagLog();

#endif /* XB_DIAGLOG_H */

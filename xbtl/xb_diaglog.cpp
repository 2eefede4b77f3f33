/*
** The leveled diagnostic log: queueing by level, appending to the named
** file and moving a file that has grown too large out of the way.
*/
#include "xb_diaglog.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "xb_log.h"

bool XB_DiagLog::SetFile(const char* path) {
  m_file.Assign(path);
  if (m_file.Length() < 3) m_file.Clear();
  return !m_file.IsEmpty();
}

void XB_DiagLog::Queue(int level, const XB_String& line) {
  if (!Wants(level)) return;
  m_pending.push_back(line);
  if (!m_file.IsEmpty()) {
    Flush();
    return;
  }
  while (m_pending.size() > kMaxQueued) m_pending.pop_front();
}

XB_String XB_DiagLog::OldName(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  size_t dot = path.rfind('.');
  bool hasExtension =
      dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash + 1);
  XB_String name;
  if (!hasExtension) {
    name.Append(path).Append("-old");
    return name;
  }
  name.Append(path.substr(0, dot)).Append("-old").Append(path.substr(dot));
  return name;
}

bool XB_DiagLog::Flush() {
  if (m_file.IsEmpty()) return false;
  if (m_pending.empty()) return true;
  std::error_code error;
  std::filesystem::path path(m_file.Std());
  auto size = std::filesystem::file_size(path, error);
  if (!error && static_cast<long long>(size) > m_sizeLimit) {
    std::filesystem::rename(path, std::filesystem::path(OldName(m_file.View()).Std()), error);
    if (error) XB_LogF("E_ XB_DiagLog: cannot move %s aside", m_file.c_str());
  }
  FILE* file = std::fopen(m_file.c_str(), "ab");
  if (!file) {
    XB_LogF("E_ XB_DiagLog: cannot open %s", m_file.c_str());
    return false;
  }
  bool ok = true;
  while (!m_pending.empty() && ok) {
    const XB_String& line = m_pending.front();
    ok = std::fwrite(line.Data(), 1, line.Length(), file) == line.Length() &&
         (line.EndsWith("\n") || std::fputc('\n', file) != EOF);
    if (ok) m_pending.pop_front();
  }
  if (std::fclose(file) != 0) ok = false;
  if (!ok) XB_LogF("E_ XB_DiagLog: cannot write %s", m_file.c_str());
  return ok;
}

XB_DiagLog& XB_SharedDiagLog() {
  static XB_DiagLog log;
  return log;
}

/*
** Starting RimbalRows for the row commands of Rimbal.
*/
#include "rowlauncher.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

/* Returns true when one of the variables that name a display is set. */
bool RowDialogsHaveDisplay() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && value[0]) return true;
  }
  return false;
}

/* Returns the path of RimbalRows beside the running program ("" when the
** running program cannot be found). */
std::string RowProgramPath() {
  std::vector<char> self(4096);
  ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
  if (length <= 0) return std::string();
  std::string path(self.data(), static_cast<size_t>(length));
  size_t slash = path.rfind('/');
  return path.substr(0, slash + 1) + "RimbalRows";
}

/* Replaces this process by RimbalRows; returns 1 when it cannot start.
** The arguments are the command number, file, table and where-part. */
int LaunchRowCommand(const RimbalOptions& options) {
  std::string program = RowProgramPath();
  std::string command = std::to_string(static_cast<int>(options.command));
  const char* argv[] = {program.c_str(), command.c_str(), options.file.c_str(),
                        options.table.c_str(), options.statement.c_str(), nullptr};
  std::fflush(stdout);
  std::fflush(stderr);
  execv(program.c_str(), const_cast<char* const*>(argv));
  std::fprintf(stderr, "Error: Cannot start the row dialogs (%s: %s).\n", program.c_str(),
               std::strerror(errno));
  return 1;
}

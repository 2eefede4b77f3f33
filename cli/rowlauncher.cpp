/*
** Starting RimbalRows for the row commands of Rimbal.
*/
#include "rowlauncher.h"

#include "rimbalexit.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

/* Returns true when VARIABLE is set to a non-empty text. */
static bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value && value[0];
}

bool RowDialogsHaveDisplay() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (!platform || !platform[0]) return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
  if (std::strncmp(platform, "xcb", 3) == 0) return IsSet("DISPLAY");
  if (std::strncmp(platform, "wayland", 7) == 0) return IsSet("WAYLAND_DISPLAY");
  return true;
}

std::string RowProgramPath() {
  std::vector<char> self(4096);
  ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
  if (length <= 0) return std::string();
  std::string path(self.data(), static_cast<size_t>(length));
  size_t slash = path.rfind('/');
  return path.substr(0, slash + 1) + "RimbalRows";
}

int LaunchRowCommand(const RimbalOptions& options) {
  std::string program = RowProgramPath();
  std::string command = std::to_string(static_cast<int>(options.command));
  const char* argv[] = {program.c_str(),       command.c_str(),           options.file.c_str(),
                        options.table.c_str(), options.statement.c_str(), nullptr};
  std::fflush(stdout);
  std::fflush(stderr);
  execv(program.c_str(), const_cast<char* const*>(argv));
  std::fprintf(stderr, "Error: Cannot start the row dialogs (%s: %s).\n", program.c_str(),
               std::strerror(errno));
  return RX_NO_TOOLKIT;
}

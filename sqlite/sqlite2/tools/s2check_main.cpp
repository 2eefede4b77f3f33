/*
** s2check: checks generation-2 database files and lists every problem
** found.  Usage: s2check FILE...   Exit code 0 when every file is valid,
** 1 when a problem was found, 2 on a usage error.
*/
#include <cstdio>

#include "s2check.h"

/* Checks each file named on the command line.  Returns the exit code. */
int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; i++) {
    std::vector<std::string> problems = s2check::CheckFile(argv[i]);
    for (const std::string& problem : problems) std::printf("%s: %s\n", argv[i], problem.c_str());
    if (!problems.empty())
      status = 1;
    else if (argc > 2)
      std::printf("%s: ok\n", argv[i]);
  }
  return status;
}

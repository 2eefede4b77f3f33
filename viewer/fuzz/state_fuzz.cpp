/*
** libFuzzer target over the view-state loader: the input is written to a
** file and loaded.  Nothing may crash, hang or leak; a load that succeeds
** has a database file and a query, and a failed load leaves the record as
** it was.
*/
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dorvexstate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = "/tmp/dorvex-state-fuzz-" + std::to_string(getpid()) + ".dvxs";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  DorvexState state;
  state.m_name = "before";
  std::string error;
  if (state.Load(path, &error)) {
    if (state.m_file.empty() || state.m_query.empty() || state.m_interval < 0) std::abort();
    state.DatabasePath();
  } else if (state.m_name != "before" || error.empty()) {
    std::abort();
  }
  std::remove(path.c_str());
  return 0;
}

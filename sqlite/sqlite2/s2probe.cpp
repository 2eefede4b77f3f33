/*
** The generation probe (s2probe.h) over the file layer's probeFile.
*/
#include "s2probe.h"

#include "s2file.h"

namespace s2 {

Probe probeGeneration(const std::string& path) {
  bool generation2 = false;
  Status status = probeFile(path, &generation2);
  if (status.ok()) return generation2 ? Probe::Generation2 : Probe::NotGeneration2;
  return status.code == kBusy ? Probe::Busy : Probe::Unopenable;
}

}  // namespace s2

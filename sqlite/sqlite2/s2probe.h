/*
** The generation probe: the one question code outside the generation-2
** engine asks about a file before any connection opens it, namely whether
** it is a 2.x database.  Everything else of the engine is reached through
** the 2.x C interface (sqlite.h); the engine's own headers stay private to
** this folder.
*/
#ifndef S2PROBE_H
#define S2PROBE_H

#include <string>

namespace s2 {

/* What probeGeneration found out about a file. */
enum class Probe {
  Generation2,    /* the file begins with the 2.x identification text */
  NotGeneration2, /* missing, or holding anything else */
  Busy,           /* another connection holds the 2.x locks: a 2.x file in use */
  Unopenable      /* the engine could not open or lock the file */
};

/* Finds out whether the existing file PATH is a 2.x database and, if a 2.x
** hot journal lies beside it, rolls that back first under the 2.x locks.
** Another engine opening the file first would delete such a journal
** unplayed and leave the file half-written, so call this before handing a
** file to anything else.  Creates nothing.  Uses the process's shared
** descriptor of the file, so locks held by other connections of this
** process stay. */
Probe probeGeneration(const std::string& path);

}  // namespace s2

#endif

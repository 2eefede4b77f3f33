/*
** The 2.x rollback journal: writing one before a file is changed in place,
** and playing back a hot one exactly as 2.8.17 does.  Internal to the file
** layer; the caller holds the write lock on the database file.
*/
#ifndef S2JOURNAL_H
#define S2JOURNAL_H

#include "s2file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace s2 {

/* Plays back the journal at JOURNALPATH onto the database descriptor DBFD
** and deletes it.  A journal that cannot be opened leaves everything as it
** is and returns kBusy; a damaged journal is deleted and returns kCorrupt. */
Status playBackJournal(int dbFd, const std::string& journalPath);

/* One page to save in a journal: its number and original 1024 bytes. */
struct JournalRecord {
  uint32_t page;
  const char* original;
};

/* Creates the journal (exclusively), writes the header and RECORDS in the
** 2.x format 3 and makes it durable in 2.x's order: sync, record count,
** sync again, sync the directory.  Returns kCantOpen when the journal
** cannot be created, kIoErr on a write or sync failure (the partial
** journal is then removed). */
Status writeJournal(const std::string& journalPath, uint32_t originalPages,
                    const std::vector<JournalRecord>& records);

/* Returns the directory part of PATH ("." when there is none). */
std::string directoryOf(const std::string& path);

/* Syncs the directory DIR so that created or removed names are durable.
** Failures are ignored: not every file system can sync a directory. */
void syncDirectory(const std::string& dir);

}  // namespace s2

#endif

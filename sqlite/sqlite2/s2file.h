/*
** The file layer of the generation-2 engine: class File, one connection's
** view of one database file with the 2.x fcntl locks, hot-journal
** playback, reading the whole file into an Image and writing an Image back
** in place under a rollback journal; and the whole-file conversions between
** bytes and an Image.  The schema and value rules it applies are in
** s2schema.h and s2value.h.
**
** Errors are returned as a Status carrying a 2.x result code and message.
*/
#ifndef S2FILE_H
#define S2FILE_H

#include "s2image.h"
#include "s2status.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace s2 {

/* The lock a connection holds on its database file. */
enum class LockLevel { None, Read, Write };

struct SharedFile; /* the one descriptor of a file in this process */

/* One page a write changes: its number, new bytes (null for a page cut
** off the end) and original bytes (null for a page past the old end). */
struct PageWrite {
  uint32_t page;
  const char* now;
  const char* before;
};

/*
** One connection to one database file.  Several File objects of this
** process that open the same file share one descriptor, because closing
** any descriptor of a file drops all of the process's POSIX locks on it.
**
** Typical use by the SQL layer:
**   open(path)                      once; creates a missing file
**   load(image)                     reads the whole file
**   refresh(image, reloaded)        before each statement: reloads when
**                                   another program changed the file
**   store(image)                    after a change, outside a transaction
** and lockRead()/lockWrite()/unlock() around statements and transactions.
** load, refresh and store take the locks they need for their own duration
** and return to the lock level held before the call.
*/
class File {
 public:
  File();
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  /* Opens PATH read-write (read-only where writing is not permitted),
  ** creating an empty file when it does not exist.  Reads nothing yet.
  ** Returns kCantOpen "unable to open database: PATH" on failure. */
  Status open(const std::string& path);

  /* Releases this connection's locks and its share of the descriptor. */
  void close();

  bool isOpen() const { return m_shared != nullptr; }
  bool readOnly() const;
  const std::string& path() const { return m_path; }
  const std::string& journalPath() const { return m_journalPath; }

  /* Takes the read lock (playing back a hot journal first, as 2.x does).
  ** Returns kBusy "database is locked" when another process or connection
  ** holds the write lock. */
  Status lockRead();

  /* Takes the write lock (the read lock first if needed).  Returns kBusy
  ** when any other process or connection holds a lock, kReadOnly when the
  ** file is open read-only. */
  Status lockWrite();

  /* Releases this connection's locks; the process lock goes with the last. */
  void unlock();

  LockLevel lockLevel() const { return m_level; }

  /* Reads the whole file into IMAGE and remembers its bytes.  A file
  ** shorter than one page is an empty database.  Errors: kNotADb, kError
  ** ("unsupported file format"), kCorrupt, kBusy, kIoErr. */
  Status load(Image& image);

  /* Reads the whole file into IMAGE as load() does, but with PAGES (the
  ** pages an open transaction changed and has not written yet, by page
  ** number) in place of the file's own; the file's own bytes stay what
  ** store() writes against and journals.  Errors: load()'s. */
  Status loadChanged(Image& image, const std::vector<PageWrite>& pages);

  /* Checks whether the file still holds exactly what was last loaded or
  ** stored; if not, reloads it into IMAGE and sets *reloaded (else clears
  ** it).  IMAGE is left untouched when nothing changed. */
  Status refresh(Image& image, bool* reloaded);

  /* Returns true (in *changed) when the file no longer holds what was last
  ** loaded or stored.  Takes the read lock for the check if none is held. */
  Status changedSinceLoad(bool* changed);

  /* Writes IMAGE back as a format 4 file in native byte order, in place,
  ** under the write lock and a rollback journal.  Fails without writing
  ** anything when the file changed since it was loaded (kError), when the image
  ** holds something 2.8.17 cannot load (kTooBig, kMismatch, kConstraint,
  ** kError), or when a lock cannot be had (kBusy).  Writing an unchanged
  ** image again leaves the file byte-identical.  The schema cookie is
  ** advanced when the schema rows (root pages included) change. */
  Status store(const Image& image);

  /* Writes the file as last loaded or stored, changed in memory by EDIT,
  ** back as store() does (same locks, checks, journal and syncs), without
  ** building it anew: only the pages EDIT changed are journaled and
  ** written.  The schema rows must not change.  Returns EDIT's error,
  ** kNotFound without calling EDIT when the file is shorter than two pages
  ** (store() is then the way), and store()'s errors. */
  Status storeEdited(const std::function<Status(std::string& bytes)>& edit);

  /* Writes PAGES (in page order) in place under a rollback journal of
  ** their original bytes, synced in 2.x's order; ORIGINALPAGES is the
  ** file's page count before the write.  The caller holds the write lock
  ** and read the originals under it.  What was last loaded stays loaded,
  ** with PAGES in it, when it was checked against the file under this lock
  ** (refresh(), load()); otherwise it is forgotten (load() reads the file
  ** again).  Errors: kMisuse without the write lock, the journal's errors,
  ** kIoErr (the old content is then put back). */
  Status writePages(const std::vector<PageWrite>& pages, uint32_t originalPages);

  /* Reads page NUMBER (1-based) of the file as it is now into OUT, which
  ** has room for one page.  The caller holds a lock.  Returns kIoErr when
  ** the whole page cannot be read. */
  Status readPage(uint32_t number, unsigned char* out);

  /* Returns the number of whole pages the file has now. */
  uint32_t pageCount();

  /* True while what was last loaded or stored is known (load() or
  ** refresh() work from it; writePages() may forget it). */
  bool loaded() const { return m_loaded; }

  /* The schema cookie of the file as last loaded or stored. */
  uint32_t schemaCookie() const { return m_cookie; }

  /* The sqlite_master rows of the file as last loaded or stored, with the
  ** root pages it holds (store() assigns fresh ones). */
  const std::vector<MasterEntry>& schema() const { return m_loadedSchema.master; }

 private:
  friend Status probeFile(const std::string& path, bool* generation2);

  /* Reads the whole file into BYTES. */
  Status readAll(std::string& bytes);
  /* Takes the read lock unless a lock is held; TOOKLOCK tells which. */
  Status ensureRead(bool& tookLock);
  /* Returns to lock level BEFORE after a call that raised it. */
  void restoreLevel(LockLevel before);
  /* Makes BYTES (already read into IMAGE) the loaded state. */
  void remember(std::string&& bytes, const Image& image);
  /* Replaces the loaded bytes with FRESH on disk: journal the pages that
  ** change, write them, sync, delete the journal.  The write lock is held. */
  Status writeInPlace(const std::string& fresh);
  /* Journals and writes PAGES, then sets the file's length to NEWSIZE
  ** bytes unless it is negative; the write lock is held. */
  Status writeJournaled(const std::vector<PageWrite>& pages, uint32_t originalPages,
                        int64_t newSize);

  /* Writes FRESH in place of the loaded bytes under the write lock, after
  ** checking that nobody changed the file since it was loaded, and makes
  ** it the loaded state, its schema rows read again when SCHEMACHANGED. */
  Status commitBytes(std::string&& fresh, bool schemaChanged);

  std::shared_ptr<SharedFile> m_shared;
  std::string m_path;
  std::string m_journalPath;
  LockLevel m_level = LockLevel::None;
  std::string m_loadedBytes; /* the file as last loaded or stored */
  Image m_loadedSchema;      /* its schema rows and meta values (no rows) */
  bool m_loaded = false;
  bool m_verifiedUnderLock = false; /* m_loadedBytes checked while the lock held */
  uint32_t m_cookie = 0;
};

/* Finds out whether the existing file PATH is a 2.x database (it begins
** with the 2.x identification text) and, if a 2.x hot journal lies beside
** it, rolls that back first under the 2.x locks.  Another engine opening
** the file first would delete such a journal unplayed and leave the file
** half-written, so call this before handing a file to anything else.
** Creates nothing; a missing file gives *generation2 = false.  Uses the
** process's shared descriptor, so locks held by other connections stay.
** While another connection or program holds the file locked, the text is
** read without the lock (no journal is played back then); kBusy only when
** the file is too short to hold it. */
Status probeFile(const std::string& path, bool* generation2);

/* ------------------------------------------------------------------------
** Whole-file conversions without a file (used by File, tools and tests)
*/

/* Reads database BYTES into IMAGE. */
Status readImage(std::string_view bytes, Image& image);

/* Reads only the header values and the sqlite_master rows of BYTES into
** IMAGE (no table rows, no check of the other trees). */
Status readSchema(std::string_view bytes, Image& image);

/* Builds the bytes of a format 4 file in native byte order holding IMAGE.
** PREVIOUS (may be null) is the image of the file being replaced: its schema
** rows decide whether the schema cookie advances; the meta values other
** than cookie and format are taken from IMAGE. */
Status buildImage(const Image& image, const Image* previous, std::string& bytes);

}  // namespace s2

#endif

/*
** Copying a database of either generation into a new generation-3 file,
** with a report of everything SQLite 3 did not take as it was.
**
** The copy is the dump (xb_sqlitedump.h) loaded into a file of a
** temporary name beside the target: every table with its stored CREATE
** statement, its rows with their rowids, then the indices, views and
** triggers.  SQLite 3 applies its type rules as it stores the rows ("007"
** in an INTEGER column becomes 7) and its constraints may refuse a row; the
** converter counts both per table, with the first example of each.  Then
** PRAGMA integrity_check runs on the new file and every table's rows are
** counted in both files.  Only a load that went through to the end is
** renamed to the target; the target is never overwritten.
*/
#ifndef XB_SQLITECONVERT_H
#define XB_SQLITECONVERT_H

#include <cstdint>
#include <string>
#include <vector>

#include "xb_sqlitedump.h"

class XB_SQLiteDB;

/* What became of one table. */
struct XB_ConvertTable {
  std::string name;
  std::string schemaError;  /* SQLite 3 refused the CREATE statement */
  int64_t oldRows = 0;      /* rows in the source */
  int64_t newRows = 0;      /* rows in the new file */
  int64_t refused = 0;      /* rows SQLite 3 refused */
  std::string firstRefused; /* "rowid 7: UNIQUE constraint failed: t.a" */
  int64_t changed = 0;      /* values stored differently from the source */
  std::string firstChange;  /* "rowid 1, column i: '007' stored as 7" */
};

/* An index, view or trigger SQLite 3 refused. */
struct XB_ConvertObject {
  std::string type;
  std::string name;
  std::string error;
};

/* How a conversion ended. */
enum XB_ConvertOutcome {
  XB_CONVERT_DONE,          /* the target holds everything, unchanged */
  XB_CONVERT_INCOMPLETE,    /* the target was written, but something was
                            ** refused or changed (see the report) */
  XB_CONVERT_OPEN_FAILED,   /* the source could not be read at all */
  XB_CONVERT_TARGET_FAILED, /* the target exists already or could not be
                            ** written; nothing was left behind */
  XB_CONVERT_READ_FAILED,   /* reading the source stopped midway; nothing
                            ** was left behind */
  XB_CONVERT_CANCELLED      /* the cancel flag was set; nothing was left */
};

/*
** One conversion of SOURCE (a connection that tells path, generation and
** text rule; it must outlive the converter and may be closed) into a new
** file at TARGET.  Run may be called on any thread, once.  Errors: Run
** returns the outcome; Error() says what failed for the outcomes that are
** failures, and ReportLines() describes an XB_CONVERT_INCOMPLETE one.
*/
class XB_SQLiteConvert {
 public:
  XB_SQLiteConvert(const XB_SQLiteDB& source, std::string target);
  XB_SQLiteConvert(const XB_SQLiteConvert&) = delete;
  XB_SQLiteConvert& operator=(const XB_SQLiteConvert&) = delete;

  /* Converts.  PROGRESS (may be null) sees the rows read and may cancel. */
  XB_ConvertOutcome Run(const XB_DumpProgress* progress);

  /* Returns the message of a failed Run. */
  const std::string& Error() const { return m_error; }

  /* Returns every table of the source, in the order they were copied. */
  const std::vector<XB_ConvertTable>& Tables() const { return m_tables; }

  /* Returns the indices, views and triggers SQLite 3 refused. */
  const std::vector<XB_ConvertObject>& RefusedObjects() const { return m_objects; }

  /* Returns what PRAGMA integrity_check said when it was not "ok". */
  const std::string& IntegrityProblem() const { return m_integrity; }

  /* Returns the report, one line per finding (tables that lost rows, with
  ** the count and the first refused row; tables whose values changed, with
  ** the count and the first change; refused schema statements; a failed
  ** integrity check), then one summary line. */
  std::vector<std::string> ReportLines() const;

 private:
  class Loader;

  /* Removes the temporary file and returns OUTCOME with MESSAGE. */
  XB_ConvertOutcome Abandon(XB_ConvertOutcome outcome, const std::string& message);

  /* Checks the loaded file and counts its rows.  Returns false with a
  ** message when the file could not be read. */
  bool Verify();

  /* Moves the finished temporary file to the target, which must still not
  ** exist.  Returns false with a message. */
  bool Publish();

  const XB_SQLiteDB& m_source;
  std::string m_target;
  std::string m_temporary;
  std::string m_error;
  std::string m_integrity;
  std::vector<XB_ConvertTable> m_tables;
  std::vector<XB_ConvertObject> m_objects;
};

#endif

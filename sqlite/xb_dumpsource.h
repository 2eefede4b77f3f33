/*
** The engine side of a dump (xb_sqlitedump.h): one streaming query whose
** values arrive classified as the dump writes them, and what the two
** generations tell differently about a table.  One implementation per
** generation, each in a file of its own, since the two engines' C headers
** cannot meet in one file.
*/
#ifndef XB_DUMPSOURCE_H
#define XB_DUMPSOURCE_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "xb_sqlitedump.h"

class XB_SQLiteDB;

/*
** A read-only handle of its own on the file of a connection.  Open first;
** every other call needs an open source.  Errors are returned as false with
** a message.
*/
class XB_DumpSource {
 public:
  /* Called for each row with its values; returns false to stop. */
  using RowFn = std::function<bool(const std::vector<XB_DumpValue>& values)>;

  virtual ~XB_DumpSource() = default;

  /* Opens the file read-only and takes the read lock that holds the file
  ** still until the source is deleted.  Returns false with a message. */
  virtual bool Open(std::string* error) = 0;

  /* Runs SQL (UTF-8) and hands each row to ONROW.  Returns false with a
  ** message when the statement fails; a stop asked for by ONROW is no
  ** failure. */
  virtual bool Query(const std::string& sql, const RowFn& onRow, std::string* error) = 0;

  /* Fills TABLE's columns, kind and rowid name from its name and CREATE
  ** statement.  Returns false with a message. */
  virtual bool Describe(XB_DumpTable* table, std::string* error) = 0;

  /* Returns the names of tables whose content belongs to another table
  ** (generation 3: the shadow tables of virtual tables). */
  virtual std::vector<std::string> ShadowTables() { return {}; }

  /* Returns a source for the file of DB, of DB's generation.  DB gives the
  ** path and the text rule and must outlive the source. */
  static std::unique_ptr<XB_DumpSource> New(const XB_SQLiteDB& db);

 protected:
  /* Gives TABLE the first of the rowid's names that none of ALLCOLUMNS
  ** takes (ASCII case ignored), or none when all three are taken. */
  static void ChooseRowidName(XB_DumpTable* table, const std::vector<std::string>& allColumns);

  /* Returns PATH as handed to an engine: a name the engine would read as
  ** something other than a file gets "./" in front. */
  static std::string EnginePath(const char* path);
};

/* The source for generation-2 files and the one for generation 3. */
std::unique_ptr<XB_DumpSource> XB_NewDumpSource2(const XB_SQLiteDB& db);
std::unique_ptr<XB_DumpSource> XB_NewDumpSource3(const XB_SQLiteDB& db);

#endif

/*
** What the dump's two sources share: choosing one, the rowid's name and
** the path handed to an engine.
*/
#include "xb_dumpsource.h"

#include <strings.h>

#include "xb_sqlitedb.h"

std::unique_ptr<XB_DumpSource> XB_DumpSource::New(const XB_SQLiteDB& db) {
  if (db.Version() < 3.0) return XB_NewDumpSource2(db);
  return XB_NewDumpSource3(db);
}

void XB_DumpSource::ChooseRowidName(XB_DumpTable* table,
                                    const std::vector<std::string>& allColumns) {
  for (const char* name : {"rowid", "_rowid_", "oid"}) {
    bool taken = false;
    for (const std::string& column : allColumns) {
      if (strcasecmp(column.c_str(), name) == 0) taken = true;
    }
    if (!taken) {
      table->rowidName = name;
      return;
    }
  }
  table->rowidName.clear();
}

std::string XB_DumpSource::EnginePath(const char* path) {
  std::string name(path ? path : "");
  if (name.rfind("file:", 0) == 0 || name == ":memory:") name.insert(0, "./");
  return name;
}

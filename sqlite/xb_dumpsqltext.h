/*
** The dump as SQL text: one transaction that makes every table with its
** stored CREATE statement and fills it with INSERT statements naming the
** rowid, then makes the indices, views and triggers.  A dump that stops
** midway ends with ROLLBACK, so loading it commits nothing.
*/
#ifndef XB_DUMPSQLTEXT_H
#define XB_DUMPSQLTEXT_H

#include <cstddef>
#include <functional>
#include <string>

#include "xb_sqlitedump.h"

class XB_DumpSqlText : public XB_DumpWriter {
 public:
  /* Hands the text to OUTPUT in blocks; OUTPUT returns false when it could
  ** not take them, which stops the dump. */
  using Output = std::function<bool(const char* data, size_t size)>;

  explicit XB_DumpSqlText(Output output);

  bool Begin() override;
  bool BeginTable(const XB_DumpTable& table) override;
  bool Row(const XB_DumpTable& table, int64_t rowid,
           const std::vector<XB_DumpValue>& values) override;
  bool EndTable(const XB_DumpTable& table) override;
  bool Object(const XB_DumpObject& object) override;
  bool Finish(bool complete) override;

 private:
  /* Hands the collected text to the output once it is large. */
  bool Drain(bool all);

  Output m_output;
  std::string m_text;
  std::string m_insert; /* "INSERT INTO t(rowid,a,b) VALUES(" of the table */
  bool m_begun = false;
  bool m_failed = false;
};

#endif

/*
** SQLiteTextCodec: the text codec of the row dialogs.  It shows a
** database's text through the connection's one text rule (generation 3
** UTF-8; a generation-2 file UTF-8 or Latin-1 as detected) and turns what
** the user typed back into the file's encoding, refusing a character that
** encoding cannot hold.
*/
#ifndef SQLITETEXTCODEC_H
#define SQLITETEXTCODEC_H

#include "qtparamcontrols.h"
#include "xb_sqlitedb.h"

class SQLiteTextCodec : public ParamTextCodec {
 public:
  /* A codec for the texts of db, which must outlive it. */
  explicit SQLiteTextCodec(const XB_SQLiteDB& db) : m_db(db) {}

  /* Returns the stored text as UTF-8 (XB_SQLiteDB::FromFileText). */
  std::string ToDisplay(std::string_view stored) const override;
  /* Converts UTF-8 into the file's encoding; false with the reason when a
  ** character cannot be held (XB_SQLiteDB::ToFileText). */
  bool ToStored(std::string_view utf8, std::string* stored, std::string* error) const override;

 private:
  const XB_SQLiteDB& m_db;
};

#endif

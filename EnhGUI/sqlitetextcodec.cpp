/*
** The row dialogs' text codec; see sqlitetextcodec.h.
*/
#include "sqlitetextcodec.h"

std::string SQLiteTextCodec::ToDisplay(std::string_view stored) const {
  return m_db.FromFileText(stored);
}

bool SQLiteTextCodec::ToStored(std::string_view utf8, std::string* stored,
                               std::string* error) const {
  return m_db.ToFileText(utf8, stored, error);
}

/*
** The query bar's edit text and history list.
*/
#include "querybarlist.h"

void QueryBarList::Load() {
  m_history.Load();
  m_unsaved = false;
}

bool QueryBarList::Runnable(const QString& text) {
  return !text.trimmed().isEmpty();
}

bool QueryBarList::Show(const QString& text, bool remember) {
  m_editText = text;
  return remember && Remember(text);
}

bool QueryBarList::Remember(const QString& text) {
  if (!Runnable(text)) return false;
  if (!m_history.Remember(text.toStdString())) return false;
  m_unsaved = true;
  Flush();
  return true;
}

bool QueryBarList::Flush() {
  if (!m_unsaved) return true;
  // A failed save keeps the texts in the history's change list, so the
  // next remembered query or the save at close writes them too.
  if (!m_history.Save()) return false;
  m_unsaved = false;
  return true;
}

QStringList QueryBarList::Items() const {
  QStringList items;
  for (const std::string& text : m_history.Items()) items << QString::fromStdString(text);
  return items;
}

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
  if (!m_saveLater) Flush();
  return true;
}

void QueryBarList::EndSave(std::vector<std::string> changes,
                           std::optional<std::vector<std::string>> merged) {
  m_history.EndSave(std::move(changes), std::move(merged));
  m_unsaved = m_history.HasChanges();
}

bool QueryBarList::Flush() {
  if (!m_unsaved || !m_history.HasChanges()) return true;
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

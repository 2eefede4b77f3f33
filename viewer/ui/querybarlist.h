/*
** QueryBarList: what the query bar holds, without the widget.  The edit
** text is the query the active view ran last (or what the user typed); the
** items are the history, newest first, at most QueryHistory::kMaxItems of
** them.  A query a view ran and asked to keep goes first in the list and is
** merged into the profile at once, so a viewer that ends abruptly loses
** nothing and two running viewers keep each other's queries.  A query that
** is only shown (a page step) changes the edit text and nothing else; a
** text over QueryHistory::kMaxTextBytes is shown but never kept.
*/
#ifndef QUERYBARLIST_H
#define QUERYBARLIST_H

#include "queryhistory.h"

#include <QString>
#include <QStringList>

class QueryBarList {
 public:
  /* PROFILE holds the history; it must outlive this object. */
  explicit QueryBarList(QueryProfile& profile) : m_history(profile) {}

  /* Replaces the items by the profile's history. */
  void Load();

  /* Returns true when TEXT is worth running: not empty or blank. */
  static bool Runnable(const QString& text);

  /* A view ran TEXT: it becomes the edit text, and with REMEMBER it is
  ** kept (see Remember).  Returns true when the items changed. */
  bool Show(const QString& text, bool remember);

  /* Puts TEXT first among the items and saves the history.  Returns true
  ** when the items changed (false for a blank or too long text). */
  bool Remember(const QString& text);

  /* Saves what could not be saved before.  Returns false when the profile
  ** could not be written (the texts are kept for the next try). */
  bool Flush();

  /* True while remembered texts wait for a successful save. */
  bool Unsaved() const { return m_unsaved; }

  /* With LATER, Remember only notes a text, and its owner saves it off the
  ** window thread: TakeChanges hands the texts over for
  ** QueryHistory::Merge, EndSave takes the outcome back. */
  void SetSaveLater(bool later) { m_saveLater = later; }
  std::vector<std::string> TakeChanges() { return m_history.TakeChanges(); }
  void EndSave(std::vector<std::string> changes, std::optional<std::vector<std::string>> merged);

  QString EditText() const { return m_editText; }
  QStringList Items() const;

 private:
  QueryHistory m_history;
  QString m_editText;
  bool m_unsaved = false;
  bool m_saveLater = false;
};

#endif

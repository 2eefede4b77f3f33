/*
** QueryBar: the main window's dock "Query" (object name "QueryBar", kept
** stable because the window's bar arrangement is saved by object name).  It
** holds one editable combo box: Enter runs the edit text exactly as it
** stands, and an item picked from the drop-down list runs that item; both
** reach the active view through RunRequested.  The views report what they
** ran through ShowQuery, which is how queries enter the history: a run that
** fails is never reported, so it is never kept.
**
** Qt's own help of an editable combo box is switched off, because each of
** its parts would change what Enter runs: no item is inserted on Enter, no
** completer fills in a longer item, and leaving the box does not swap the
** typed text for an item that matches it ignoring case.  The history is the
** profile's section "query" (see QueryBarList).
**
** A kept query is merged into the profile at once, but on a thread of its
** own: the merge takes a lock file and writes the profile, which on a busy
** disk holds the window up for tens of milliseconds.  One save runs at a
** time; texts kept meanwhile go with the next.  SaveHistory (at exit) waits
** for a running save and writes what is left.
*/
#ifndef QUERYBAR_H
#define QUERYBAR_H

#include "querybarlist.h"
#include "settingsqueryprofile.h"

#include <QDockWidget>
#include <QSettings>

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QComboBox;

class QueryBar : public QDockWidget {
  Q_OBJECT
 public:
  /* Loads the history from the application's profile. */
  explicit QueryBar(QWidget* parent = nullptr);
  ~QueryBar() override;

  QComboBox* Combo() const { return m_combo; }

  /* The active view ran TEXT: shows it, and keeps it with REMEMBER. */
  void ShowQuery(const QString& text, bool remember);

  /* Another view ran TEXT and asked to keep it: kept without showing it. */
  void Remember(const QString& text);

  /* Writes history not yet saved; false when the profile could not be
  ** written. */
  bool SaveHistory();

  /* Runs TEXT as Enter would (nothing for a blank text). */
  void RunText(const QString& text);

 signals:
  /* The user asked to run TEXT in the active view. */
  void RunRequested(const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  /* What a save thread hands back: the texts it saved and the merged list,
  ** none when it failed. */
  struct SaveOutcome {
    std::vector<std::string> changes;
    std::optional<std::vector<std::string>> merged;
  };

  void OnActivated(int index);
  void Rebuild();
  /* Starts a save of the waiting texts unless one runs or none wait. */
  void StartSave();
  /* Takes the outcome of the save that ended, if any; the next save starts
  ** when texts were kept meanwhile. */
  void OnSaveEnded();
  /* Takes the outcome of the save that ended, if any; returns true when
  ** there was one and it saved. */
  bool TakeSaveOutcome();
  /* Waits for the running save and takes its outcome. */
  void FinishSave();

  QSettings m_profileSettings;
  SettingsQueryProfile m_profile{m_profileSettings};
  QueryBarList m_list{m_profile};
  QComboBox* m_combo;
  bool m_popupClosing = false;
  std::thread m_saver;
  std::mutex m_saveMutex;
  std::optional<SaveOutcome> m_saveOutcome; /* guarded by m_saveMutex */
  bool m_saving = false;
};

#endif

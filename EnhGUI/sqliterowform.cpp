/*
** The insert and edit-one-row dialog; see sqliterowform.h.
*/
#include "sqliterowform.h"

#include <QTimer>

#include "paramsdialog.h"
#include "sqliterowstatements.h"
#include "xb_keytext.h"
#include "xb_tabledef.h"

SQLiteRowForm::SQLiteRowForm(XB_SQLiteDB& db, std::string_view table, Mode mode,
                             std::string_view wherePart)
    : m_db(db), m_table(table), m_wherePart(wherePart), m_mode(mode), m_codec(db) {}

/* The row set points into the service's cache and goes first. */
SQLiteRowForm::~SQLiteRowForm() {
  m_row.Clear();
}

bool SQLiteRowForm::Prepare() {
  m_prepared = false;
  uint8_t flags = m_mode == MODE_INSERT ? TD_INSERT : TD_ALL;
  if (!m_rowIo.GetTableDefinition(m_db, m_table.View(), flags)) {
    m_error = XB_String::Formatted("Failed to read table definiton for %s.", m_table);
    return false;
  }
  m_row = m_rowIo.InitRow(m_db, m_table.View(), flags);
  if (m_mode == MODE_EDIT) {
    if (!m_rowIo.ReadRow(m_row, m_db, m_table.View(), m_wherePart.View())) {
      const char* message = m_rowIo.LastError(m_db);
      m_error = message ? message : "The row could not be read.";
      return false;
    }
    if (!m_row.RowFound()) {
      if (XB_TrimBlanks(m_wherePart.View()).empty()) {
        m_error = XB_String::Formatted("%s has no row.", m_table);
      } else {
        m_error = XB_String::Formatted("No row of %s matches %s.", m_table, m_wherePart);
      }
      return false;
    }
  }
  m_prepared = true;
  return true;
}

bool SQLiteRowForm::Write(QString* message) {
  const char* what = m_mode == MODE_INSERT ? "INSERT" : "UPDATE";
  bool changes = m_mode == MODE_INSERT || CountAssignments(m_row) > 0;
  bool ok =
      m_mode == MODE_INSERT ? m_rowIo.InsertRow(m_db, m_row, 0) : m_rowIo.UpdateRow(m_db, m_row, 0);
  if (ok) {
    m_written = m_written || changes;
    return true;
  }
  const char* reason = m_rowIo.LastError(m_db);
  if (m_reporter) m_reporter(what, reason ? reason : "");
  *message = QStringLiteral("%1 failed: %2")
                 .arg(QString::fromLatin1(what),
                      QString::fromStdString(m_db.FromFileText(reason ? reason : "")));
  return false;
}

bool SQLiteRowForm::Run(QWidget* parent, const ShownHook& shown) {
  if (!m_prepared) return false;
  m_written = false;
  ParamsDialog dialog(m_row, m_table, parent);
  dialog.Controls().SetTextCodec(&m_codec);
  dialog.Lines().SetNullAware(true);
  dialog.setWindowTitle(dialog.Controls().DisplayText(m_table));
  std::vector<XB_String> blobs;
  for (int i = 0; i < m_row.Count(); i++) {
    if (m_row.IsBlobAt(i)) blobs.push_back(m_row.KeyAt(i));
  }
  dialog.SetReadOnlyKeys(blobs);
  dialog.SetAcceptHandler([this](QString* message) { return Write(message); });
  if (shown) {
    QTimer::singleShot(0, &dialog, [&dialog, &shown] { shown(dialog); });
  }
  dialog.DoModal();
  return m_written;
}

bool InsertTableRow(XB_SQLiteDB* db, std::string_view table, QWidget* parent, std::string* error) {
  if (!db) return false;
  SQLiteRowForm form(*db, table, SQLiteRowForm::MODE_INSERT);
  if (!form.Prepare()) {
    if (error) *error = form.ErrorText().Std();
    return false;
  }
  return form.Run(parent);
}

bool EditTableRow(XB_SQLiteDB* db, std::string_view table, std::string_view wherePart,
                  QWidget* parent, std::string* error) {
  if (!db) return false;
  SQLiteRowForm form(*db, table, SQLiteRowForm::MODE_EDIT, wherePart);
  if (!form.Prepare()) {
    if (error) *error = form.ErrorText().Std();
    return false;
  }
  return form.Run(parent);
}

/*
** SQLiteRowDialog: the row-wise table editor.  A parameter dialog whose
** lines show one table row at a time; "<<" and ">>" save the row shown
** (only when the user changed it) and step to the previous or next row,
** ">>" past the last row of a table with an INTEGER PRIMARY KEY appends a
** new row, and "OK" saves and ends.  The stepping itself lives in the
** plain class SQLiteRowCursor.
*/
#ifndef SQLITEROWDIALOG_H
#define SQLITEROWDIALOG_H

#include "paramsdialog.h"
#include "sqliterowcursor.h"
#include "sqlitetextcodec.h"

class XB_SQLiteDB;
class SQLiteParameters;

class SQLiteRowDialog : public ParamsDialog {
  Q_OBJECT
 public:
  /*
  ** An editor over the rows of table on db, restricted by the condition
  ** where and ordered by orderBy when they are not empty.  The row set set
  ** of that table defines the lines and receives the last row's values on
  ** OK.
  */
  SQLiteRowDialog(XB_SQLiteDB& db, SQLiteParameters& set, const XB_String& table,
                  const XB_String& where, const XB_String& orderBy, QWidget* parent = nullptr);

  /*
  ** True when the rows can be told apart (one key column, or the rowid);
  ** otherwise ErrorText() says why and DoModal must not be called.
  */
  bool IsReady() const { return m_ready; }
  /* Why the editor cannot run, or the last failed save. */
  const XB_String& ErrorText() const { return m_cursor.ErrorText(); }
  /* The stepping state, for callers that want to look at it. */
  const SQLiteRowCursor& Cursor() const { return m_cursor; }

  /*
  ** Loads the current row into the lines, or saves the lines into it.
  ** Then updates the buttons and the title.  Returns false when a save
  ** failed; the row shown stays and the user is told.
  */
  bool DataExchange(bool save);

 protected:
  /* The first row is loaded through DataExchange. */
  void LoadValues() override;
  /*
  ** Saves the row shown, hands the values to the set and ends the dialog.
  ** A failed save keeps the dialog open so that no edit is lost unseen.
  */
  void OnOk() override;
  /* "<<" over the first quarter, ">>" over the second, OK over the last. */
  void PlaceButtons(const ParamsDialogLayout& layout, int width, int height) override;

 private:
  /* Saves the row shown; on success steps back and shows that row. */
  void OnPrevious();
  /*
  ** Saves the row shown; on success steps forward, appending a row past
  ** the end when the table allows it, and shows the new current row.
  */
  void OnNext();
  /*
  ** Enables "<<" and ">>" as the cursor allows and sets the title to the
  ** base title with the position "[i/n]".
  */
  void UpdateState();
  /* Tells the user that the row shown could not be saved. */
  void ReportSaveFailure();

  SQLiteTextCodec m_codec;
  SQLiteRowCursor m_cursor;
  XB_String m_baseTitle;
  QPushButton* m_previousButton = nullptr;
  QPushButton* m_nextButton = nullptr;
  bool m_ready = false;
};

#endif

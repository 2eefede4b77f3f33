/*
** RowEditor: how the grid view lets the user edit one table row.  The
** window program shows the row dialog the console program's --edit-row
** shows; tests hand the view a double that answers without a display.
*/
#ifndef ROWEDITOR_H
#define ROWEDITOR_H

#include <memory>
#include <string>

class QWidget;
class XB_SQLiteDB;

class RowEditor {
 public:
  virtual ~RowEditor() = default;

  /*
  ** Lets the user edit the row of TABLE on DB that WHEREPART picks out
  ** (both in the file's text encoding), modally, owned by PARENT.  Returns
  ** true when the row was written; nothing is written when the user
  ** cancels or changes nothing.  *ERROR receives why no dialog could be
  ** shown (the table or the row cannot be read), else stays empty.
  */
  virtual bool EditRow(XB_SQLiteDB& db, const std::string& table, const std::string& wherePart,
                       QWidget* parent, std::string* error) = 0;
};

/* Returns the editor that shows the shared row dialog. */
std::unique_ptr<RowEditor> MakeDialogRowEditor();

#endif

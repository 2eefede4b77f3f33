/*
** The row editor of the window program: the shared row dialog.
*/
#include "roweditor.h"

#include "sqliterowform.h"

namespace {

class DialogRowEditor : public RowEditor {
 public:
  bool EditRow(XB_SQLiteDB& db, const std::string& table, const std::string& wherePart,
               QWidget* parent, std::string* error) override {
    return EditTableRow(&db, table, wherePart, parent, error);
  }
};

}  // namespace

std::unique_ptr<RowEditor> MakeDialogRowEditor() {
  return std::make_unique<DialogRowEditor>();
}

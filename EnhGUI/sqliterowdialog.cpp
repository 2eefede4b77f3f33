/*
** The row-wise table editor; see sqliterowdialog.h.
*/
#include "sqliterowdialog.h"

#include "sqliteparameters.h"

#include <QMessageBox>
#include <QPushButton>

/*
** Builds the editor: OK without Cancel, "<<" and ">>", lines inset by the
** margin, and the cursor over the table's rows.
*/
SQLiteRowDialog::SQLiteRowDialog(XB_SQLiteDB& db, SQLiteParameters& set, const XB_String& table,
                                 const XB_String& where, const XB_String& orderBy, QWidget* parent)
    : ParamsDialog(set, XB_String(), false, true, parent), cursor_(db, set, table) {
  baseTitle_ = set.Name();
  if (baseTitle_.IsEmpty()) baseTitle_ = "Table Edit";
  previousButton_ = MakeButton("<<", "previous");
  nextButton_ = MakeButton(">>", "next");
  connect(previousButton_, &QPushButton::clicked, this, [this] { OnPrevious(); });
  connect(nextButton_, &QPushButton::clicked, this, [this] { OnNext(); });
  ready_ = cursor_.Start(where, orderBy);
  UpdateState();
}

/*
** "<<" over the first quarter, ">>" over the second, OK over the last.
*/
void SQLiteRowDialog::PlaceButtons(const ParamsDialogLayout& layout, int width, int height) {
  auto place = [&](QPushButton* button, int quarter) {
    if (button == nullptr) return;
    ParamRect r = layout.ButtonRect(quarter, width, height);
    button->setGeometry(r.left, r.top, r.Width(), r.Height());
  };
  place(previousButton_, 0);
  place(nextButton_, 1);
  place(okButton_, 3);
}

/*
** The first row is loaded through DataExchange.
*/
void SQLiteRowDialog::LoadValues() {
  DataExchange(false);
}

/*
** See the header.
*/
bool SQLiteRowDialog::DataExchange(bool save) {
  bool done = true;
  if (ready_) {
    done = save ? cursor_.Save(lines_) : cursor_.Load(lines_);
  }
  UpdateState();
  if (!done && save) ReportSaveFailure();
  return done;
}

/*
** Shows the engine's message for a row that could not be written.
*/
void SQLiteRowDialog::ReportSaveFailure() {
  const XB_String& error = cursor_.ErrorText();
  QMessageBox::warning(
      this, windowTitle(),
      QStringLiteral("The row could not be saved.\n") +
          QString::fromLatin1(error.Data(), static_cast<qsizetype>(error.Length())));
}

/*
** Saves the row shown; on success steps back and shows that row.
*/
void SQLiteRowDialog::OnPrevious() {
  if (!DataExchange(true)) return;
  if (cursor_.Previous()) DataExchange(false);
}

/*
** Saves the row shown; on success steps forward, appending a row past
** the end when the table allows it, and shows the new current row.
*/
void SQLiteRowDialog::OnNext() {
  if (!DataExchange(true)) return;
  if (cursor_.Next()) DataExchange(false);
}

/*
** Saves the row shown, hands the values to the set and ends the dialog.
** A failed save keeps the dialog open so that no edit is lost unseen.
*/
void SQLiteRowDialog::OnOk() {
  if (!DataExchange(true)) return;
  lines_.Exchange(true, set_);
  done(1);
}

/*
** Enables "<<" and ">>" as the cursor allows and sets the title to the
** base title with the position "[i/n]".
*/
void SQLiteRowDialog::UpdateState() {
  previousButton_->setEnabled(ready_ && cursor_.CanGoBack());
  nextButton_->setEnabled(ready_ && cursor_.CanGoForward());
  XB_String title = baseTitle_;
  title.AppendFormat(" [%d/%d]", cursor_.Index() + 1, cursor_.Count());
  setWindowTitle(QString::fromLatin1(title.Data(), static_cast<qsizetype>(title.Length())));
}

/*
** The row-wise table editor; see sqliterowdialog.h.
*/
#include "sqliterowdialog.h"

#include "sqliteparameters.h"

#include <QMessageBox>
#include <QPushButton>

SQLiteRowDialog::SQLiteRowDialog(XB_SQLiteDB& db, SQLiteParameters& set, const XB_String& table,
                                 const XB_String& where, const XB_String& orderBy, QWidget* parent)
    : ParamsDialog(set, XB_String(), false, true, parent), m_cursor(db, set, table) {
  m_baseTitle = set.Name();
  if (m_baseTitle.IsEmpty()) m_baseTitle = "Table Edit";
  m_previousButton = MakeButton("<<", "previous");
  m_nextButton = MakeButton(">>", "next");
  connect(m_previousButton, &QPushButton::clicked, this, [this] { OnPrevious(); });
  connect(m_nextButton, &QPushButton::clicked, this, [this] { OnNext(); });
  m_ready = m_cursor.Start(where, orderBy);
  UpdateState();
}

void SQLiteRowDialog::PlaceButtons(const ParamsDialogLayout& layout, int width, int height) {
  auto place = [&](QPushButton* button, int quarter) {
    if (button == nullptr) return;
    ParamRect r = layout.ButtonRect(quarter, width, height);
    button->setGeometry(r.left, r.top, r.Width(), r.Height());
  };
  place(m_previousButton, 0);
  place(m_nextButton, 1);
  place(m_okButton, 3);
}

void SQLiteRowDialog::LoadValues() {
  DataExchange(false);
}

bool SQLiteRowDialog::DataExchange(bool save) {
  bool done = true;
  if (m_ready) {
    done = save ? m_cursor.Save(m_lines) : m_cursor.Load(m_lines);
  }
  UpdateState();
  if (!done && save) ReportSaveFailure();
  return done;
}

void SQLiteRowDialog::ReportSaveFailure() {
  const XB_String& error = m_cursor.ErrorText();
  QMessageBox::warning(
      this, windowTitle(),
      QStringLiteral("The row could not be saved.\n") +
          QString::fromLatin1(error.Data(), static_cast<qsizetype>(error.Length())));
}

void SQLiteRowDialog::OnPrevious() {
  if (!DataExchange(true)) return;
  if (m_cursor.Previous()) DataExchange(false);
}

void SQLiteRowDialog::OnNext() {
  if (!DataExchange(true)) return;
  if (m_cursor.Next()) DataExchange(false);
}

void SQLiteRowDialog::OnOk() {
  if (!DataExchange(true)) return;
  m_lines.Exchange(true, m_set);
  done(1);
}

void SQLiteRowDialog::UpdateState() {
  m_previousButton->setEnabled(m_ready && m_cursor.CanGoBack());
  m_nextButton->setEnabled(m_ready && m_cursor.CanGoForward());
  XB_String title = m_baseTitle;
  title.AppendFormat(" [%d/%d]", m_cursor.Index() + 1, m_cursor.Count());
  setWindowTitle(QString::fromLatin1(title.Data(), static_cast<qsizetype>(title.Length())));
}

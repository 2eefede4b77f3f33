/*
** The row-wise table editor; see sqliterowdialog.h.
*/
#include "sqliterowdialog.h"

#include "sqliteparameters.h"

#include <QPushButton>

SQLiteRowDialog::SQLiteRowDialog(XB_SQLiteDB& db, SQLiteParameters& set, const XB_String& table,
                                 const XB_String& where, const XB_String& orderBy, QWidget* parent)
    : ParamsDialog(set, XB_String(), false, true, parent), m_codec(db), m_cursor(db, set, table) {
  m_controls.SetTextCodec(&m_codec);
  m_lines.SetNullAware(true);
  m_baseTitle = set.TableName();
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
  if (m_ready && save) {
    XB_String key, error;
    done = m_lines.ValuesFit(&key, &error);
    if (!done) {
      ShowMessage(m_controls.DisplayText(key) + QStringLiteral(": ") +
                  QString::fromUtf8(error.c_str()));
    }
  }
  if (m_ready && done) {
    done = save ? m_cursor.Save(m_lines) : m_cursor.Load(m_lines);
    if (!done && save) ReportSaveFailure();
    if (done) ShowMessage(QString());
  }
  UpdateState();
  return done;
}

void SQLiteRowDialog::ReportSaveFailure() {
  ShowMessage(QStringLiteral("The row could not be saved: ") +
              m_controls.DisplayText(m_cursor.ErrorText()));
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
  setWindowTitle(m_controls.DisplayText(title));
}

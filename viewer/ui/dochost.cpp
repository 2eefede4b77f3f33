/*
** Questions of a document, answered by message boxes.
*/
#include "dochost.h"

#include "dorvexstate.h"

#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

bool MainFrameDocHost::AskYesNo(const std::string& question, bool defaultYes) {
  auto answer = QMessageBox::question(
      m_window, QStringLiteral("Dorvex"), QString::fromStdString(question),
      QMessageBox::Yes | QMessageBox::No, defaultYes ? QMessageBox::Yes : QMessageBox::No);
  return answer == QMessageBox::Yes;
}

DorvexDocHost::TransactionEnd MainFrameDocHost::AskTransactionEnd(const std::string& question) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Dorvex"), QString::fromStdString(question),
                  QMessageBox::NoButton, m_window);
  QPushButton* commit = box.addButton(QStringLiteral("&Commit"), QMessageBox::AcceptRole);
  QPushButton* rollBack = box.addButton(QStringLiteral("&Roll Back"), QMessageBox::DestructiveRole);
  QPushButton* keep = box.addButton(QStringLiteral("&Keep Open"), QMessageBox::RejectRole);
  box.setDefaultButton(keep);
  box.exec();
  if (box.clickedButton() == commit) return TransactionEnd::Commit;
  if (box.clickedButton() == rollBack) return TransactionEnd::RollBack;
  return TransactionEnd::KeepOpen;
}

void MainFrameDocHost::ApplyStateLayout(const DorvexState& state) {
  int width = state.m_right - state.m_left;
  int height = state.m_bottom - state.m_top;
  // A state saved without a window rectangle leaves the window where it is.
  if (!m_window || width <= 0 || height <= 0) return;
  m_window->setGeometry(state.m_left, state.m_top, width, height);
}

/*
** Questions of a document, answered by message boxes.
*/
#include "dochost.h"

#include "dorvexstate.h"
#include "mainframe.h"

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
  if (m_window) m_window->ApplyState(state);
}

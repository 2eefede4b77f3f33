/*
** MainFrameDocHost: how the window program answers a document's questions
** (message boxes over the main window) and applies a view state's window
** rectangle to the main window.
*/
#ifndef DOCHOST_H
#define DOCHOST_H

#include "dorvexdochost.h"

class CMainFrame;

class MainFrameDocHost : public DorvexDocHost {
 public:
  /* WINDOW owns the boxes and takes a state's rectangle. */
  explicit MainFrameDocHost(CMainFrame* window) : m_window(window) {}

  bool AskYesNo(const std::string& question, bool defaultYes) override;
  TransactionEnd AskTransactionEnd(const std::string& question) override;
  void ApplyStateLayout(const DorvexState& state) override;

 private:
  CMainFrame* m_window;
};

#endif

/*
** DorvexDocHost: what a database document asks of its surroundings - a
** question to the user and the main window's layout.  The window program
** answers with message boxes and its main window; tests answer with a
** recording double.  Every question names what will happen on each answer.
*/
#ifndef DORVEXDOCHOST_H
#define DORVEXDOCHOST_H

#include <string>

class DorvexState;

class DorvexDocHost {
 public:
  /* The answers to "the document has an open transaction" on closing. */
  enum class TransactionEnd { Commit, RollBack, KeepOpen };

  virtual ~DorvexDocHost() = default;

  /* Asks QUESTION with the buttons Yes and No; DEFAULTYES chooses the
  ** button that Enter presses.  Returns true for Yes. */
  virtual bool AskYesNo(const std::string& question, bool defaultYes) = 0;

  /* Asks QUESTION about an open transaction: commit it, roll it back, or
  ** keep the document open. */
  virtual TransactionEnd AskTransactionEnd(const std::string& question) = 0;

  /* Gives the main window the rectangle and bar layout of STATE; called
  ** when a state is opened or dropped and the preference
  ** dropfiles/dvxs/movewindow is on. */
  virtual void ApplyStateLayout(const DorvexState& state) = 0;
};

#endif

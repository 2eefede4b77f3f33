/*
** The command set of the main window: one entry per command with its menu
** text, status prompt and keys.  Kept as data so the window builds its
** actions from it and tests can check that no key is bound twice.
**
** Scope tells where a command's keys act.  Grid commands act while the
** keyboard focus is inside the document area only, so the same keys keep
** their editing meaning in every other widget (a line edit's Ctrl+C,
** Ctrl+A, Ctrl+Left); window commands act anywhere in the main window.
*/
#ifndef DORVEXCOMMANDS_H
#define DORVEXCOMMANDS_H

#include <QKeySequence>
#include <QList>
#include <QString>

enum class DorvexCommand {
  Open,
  Close,
  SaveAsSqlite3,
  Print,
  PrintPreview,
  PrintSetup,
  Exit,
  Copy,
  SelectAll,
  EditRow,
  NextTable,
  PreviousTable,
  AutoUpdate,
  Refresh,
  ReOpen,
  LockFile,
  FileInfo,
  OffsetUp,
  OffsetDown,
  Stop,
  Latin1Text,
  Preferences,
  AlwaysOnTop,
  SaveState,
  HelpEngineSite,
  HelpSyntax,
  HelpProgram,
  About,
};

enum class CommandScope { Window, Grid };

struct DorvexCommandInfo {
  DorvexCommand id;
  QString text;   /* menu and toolbar text, "&" marks the mnemonic */
  QString prompt; /* status-bar prompt, "\n" then the tooltip; empty for none */
  QList<QKeySequence> keys;
  CommandScope scope;
  bool checkable;
};

/* Returns every command of the main window, in a fixed order. */
const QList<DorvexCommandInfo>& DorvexCommands();

/* Returns the entry of ID (every command has one). */
const DorvexCommandInfo& DorvexCommandOf(DorvexCommand id);

#endif

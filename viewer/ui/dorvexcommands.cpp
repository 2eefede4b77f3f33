/*
** The command table of the main window.
*/
#include "dorvexcommands.h"

namespace {

using K = QKeySequence;

/* Builds the table once; QKeySequence needs a running application only for
** text conversion, not for these key codes. */
QList<DorvexCommandInfo> BuildCommands() {
  const auto W = CommandScope::Window;
  const auto G = CommandScope::Grid;
  return {
      {DorvexCommand::Open,
       "&Open...",
       "Open a database or a view state\nOpen",
       {K(Qt::CTRL | Qt::Key_O)},
       W,
       false},
      {DorvexCommand::Close, "&Close", "Close the active document\nClose", {}, W, false},
      {DorvexCommand::Print,
       "&Print...",
       "Print the active grid\nPrint",
       {K(Qt::CTRL | Qt::Key_P)},
       W,
       false},
      {DorvexCommand::PrintPreview,
       "Print Pre&view",
       "Show the printed pages of the active grid\nPrint Preview",
       {},
       W,
       false},
      {DorvexCommand::PrintSetup,
       "P&rint Setup...",
       "Choose the paper, orientation and margins\nPrint Setup",
       {},
       W,
       false},
      {DorvexCommand::Exit, "E&xit", "Quit the application\nExit", {}, W, false},
      {DorvexCommand::Copy,
       "&Copy",
       "Copy the selected rows\nCopy",
       {K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)},
       G,
       false},
      {DorvexCommand::SelectAll,
       "Select &All",
       "Select every row\nSelect All",
       {K(Qt::CTRL | Qt::Key_A)},
       G,
       false},
      {DorvexCommand::EditRow,
       "Edit &Row...",
       "Edit the current row in a dialog and write it back\nEdit Row",
       {K(Qt::Key_Return), K(Qt::Key_Enter)},
       G,
       false},
      {DorvexCommand::NextTable,
       "&Next Table",
       "Show next Table\nNext Table",
       {K(Qt::CTRL | Qt::Key_Right), K(Qt::CTRL | Qt::Key_PageDown)},
       G,
       false},
      {DorvexCommand::PreviousTable,
       "&Previous Table",
       "Show previous Table\nPrev. Table",
       {K(Qt::CTRL | Qt::Key_Left), K(Qt::CTRL | Qt::Key_PageUp)},
       G,
       false},
      {DorvexCommand::AutoUpdate,
       "&Auto Update",
       "Auto-Repeat the Query\nAutoUpdate",
       {K(Qt::CTRL | Qt::Key_R)},
       G,
       true},
      {DorvexCommand::Refresh,
       "&Refresh",
       "Run the query again\nRefresh",
       {K(Qt::Key_F5)},
       G,
       false},
      {DorvexCommand::ReOpen,
       "R&e-Open",
       "Re-Open current document\nRe-Open",
       {K(Qt::CTRL | Qt::Key_F5)},
       G,
       false},
      {DorvexCommand::LockFile,
       "&Lock File",
       "Lock File (Keep Open)\nLock",
       {K(Qt::CTRL | Qt::Key_L)},
       G,
       true},
      {DorvexCommand::FileInfo, "File &Info", "Query file information\nFile Info", {}, G, false},
      {DorvexCommand::OffsetUp,
       "Offset &Up",
       "Offset Up (Shift+PgUp)\nUp",
       {K(Qt::SHIFT | Qt::Key_PageUp)},
       G,
       false},
      {DorvexCommand::OffsetDown,
       "Offset &Down",
       "Offset Down (Shift+PgDown)\nDown",
       {K(Qt::SHIFT | Qt::Key_PageDown)},
       G,
       false},
      {DorvexCommand::Stop,
       "&Stop",
       "Cancel the running query (Esc)\nStop",
       {K(Qt::Key_Escape)},
       G,
       false},
      {DorvexCommand::Latin1Text,
       "&Latin-1 Text",
       "Read and write this 2.x file's text as Latin-1 instead of UTF-8\nLatin-1",
       {},
       G,
       true},
      {DorvexCommand::HelpEngineSite,
       "SQLite (www)",
       "Open the SQLite web site\nSQLite",
       {},
       W,
       false},
      {DorvexCommand::HelpSyntax, "SQLite Syntax (www)", "SQL Syntax\nSyntax", {}, W, false},
      {DorvexCommand::HelpProgram,
       "Dorvex (www)",
       "Open the Dorvex web page\nDorvex",
       {},
       W,
       false},
      {DorvexCommand::About,
       "&About Dorvex...",
       "Program information and version\nAbout",
       {},
       W,
       false},
  };
}

}  // namespace

const QList<DorvexCommandInfo>& DorvexCommands() {
  static const QList<DorvexCommandInfo> commands = BuildCommands();
  return commands;
}

const DorvexCommandInfo& DorvexCommandOf(DorvexCommand id) {
  for (const DorvexCommandInfo& info : DorvexCommands())
    if (info.id == id) return info;
  return DorvexCommands().front();
}

/*
** The command line of Rimbal: which command to run, on which database file,
** for the row commands on which table, and the statement text (the
** where-part for the row commands).  Parsing is kept apart from running so
** that it can be checked without starting the program.
*/
#ifndef RIMBALOPTIONS_H
#define RIMBALOPTIONS_H

#include <string>
#include <vector>

/* The commands, numbered as scripts and the exit-code table know them. */
enum RimbalCommand {
  RC_NONE = 0,
  RC_CREATE2 = 1,
  RC_CREATE3 = 2,
  RC_EXEC = 3,
  RC_QUERY_ONE = 4,
  RC_QUERY_TAB = 5,
  RC_QUERY_CSV = 6,
  RC_QUERY_TABLE = 7,
  RC_EDIT_ROW = 8,
  RC_EDIT_ROWS = 9,
  RC_INSERT_ROW = 10,
  RC_DUMP = 11,
  RC_CONVERT = 12
};

/*
** The parsed command line.  Options come first; an unknown option is
** ignored and a later option replaces an earlier one.  The first argument
** that does not begin with "-" is the file; from there on everything is
** positional, whatever it begins with.  A plain struct: the fields are
** the result, the functions only fill and read them.
*/
struct RimbalOptions {
  /* Parses the arguments after the program name into the fields. */
  void Parse(const std::vector<std::string>& arguments);

  /* Parses argv[1] .. argv[argc-1]. */
  void Parse(int argc, const char* const* argv);

  /* True for the three commands that open a row dialog. */
  bool IsRowCommand() const;

  /* True for the commands that keep both streams free of the banner (the
  ** value-printing ones, and --dump, whose output is loaded elsewhere). */
  bool IsQuiet() const;

  /* Returns the command an option selects, or RC_NONE for an option this
  ** program does not know. */
  static RimbalCommand CommandOfOption(const std::string& option);

  RimbalCommand command = RC_NONE;
  std::string file;
  std::string table;
  std::string target; /* --convert: the new file */
  std::string statement;
};

#endif

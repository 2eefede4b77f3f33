/*
** Parsing of the Rimbal command line into command, file, table and
** statement text.
*/
#include "rimbaloptions.h"

#include <cstring>

namespace {

/* The options and the commands they select; letter case counts. */
struct OptionEntry {
  const char* option;
  RimbalCommand command;
};

const OptionEntry kOptions[] = {
    {"--create", RC_CREATE3},
    {"--create3", RC_CREATE3},
    {"-c3", RC_CREATE3},
    {"--create2", RC_CREATE2},
    {"-c2", RC_CREATE2},
    {"--exec", RC_EXEC},
    {"-r", RC_EXEC},
    {"--query-one", RC_QUERY_ONE},
    {"-q", RC_QUERY_ONE},
    {"--query-tab", RC_QUERY_TAB},
    {"--query-csv", RC_QUERY_CSV},
    {"--query", RC_QUERY_TABLE},
    {"--query-table", RC_QUERY_TABLE},
    {"--edit-row", RC_EDIT_ROW},
    {"-er", RC_EDIT_ROW},
    {"--edit-rows", RC_EDIT_ROWS},
    {"-et", RC_EDIT_ROWS},
    {"--insert-row", RC_INSERT_ROW},
    {"--add-row", RC_INSERT_ROW},
    {"-ar", RC_INSERT_ROW},
    {"--dump", RC_DUMP},
    {"--convert", RC_CONVERT},
};

/* True for the characters that trimming removes: space and codes 1 to 13. */
bool IsTrimmed(char c) {
  unsigned char code = static_cast<unsigned char>(c);
  return code == ' ' || (code >= 1 && code <= 13);
}

/* Returns TEXT without spaces and control characters 1 to 13 at both ends. */
std::string Trimmed(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  while (end > begin && IsTrimmed(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

RimbalCommand RimbalOptions::CommandOfOption(const std::string& option) {
  for (const OptionEntry& entry : kOptions) {
    if (option == entry.option) return entry.command;
  }
  return RC_NONE;
}

void RimbalOptions::Parse(const std::vector<std::string>& arguments) {
  command = RC_NONE;
  file.clear();
  table.clear();
  target.clear();
  statement.clear();

  size_t next = 0;
  for (; next < arguments.size(); ++next) {
    const std::string& argument = arguments[next];
    if (argument.empty() || argument[0] != '-') break;
    RimbalCommand selected = CommandOfOption(argument);
    if (selected != RC_NONE) command = selected;
  }

  // The table is only taken for the row commands, and only the option that
  // won decides that, so positional arguments are handled after the options.
  bool haveFile = false;
  bool haveTable = !IsRowCommand();
  bool haveTarget = command != RC_CONVERT;
  bool haveStatement = false;
  for (; next < arguments.size(); ++next) {
    const std::string& argument = arguments[next];
    if (!haveFile) {
      file = argument;
      haveFile = true;
    } else if (!haveTarget) {
      target = argument;
      haveTarget = true;
    } else if (!haveTable) {
      table = argument;
      haveTable = true;
    } else {
      if (haveStatement) statement += ' ';
      statement += argument;
      haveStatement = true;
    }
  }
  statement = Trimmed(statement);
}

void RimbalOptions::Parse(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i] ? argv[i] : "");
  Parse(arguments);
}

bool RimbalOptions::IsRowCommand() const {
  return command == RC_EDIT_ROW || command == RC_EDIT_ROWS || command == RC_INSERT_ROW;
}

bool RimbalOptions::IsQuiet() const {
  return command == RC_QUERY_ONE || command == RC_QUERY_TAB || command == RC_QUERY_CSV ||
         command == RC_DUMP;
}

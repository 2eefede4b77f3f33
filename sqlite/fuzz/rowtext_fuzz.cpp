/*
** Fuzz target for the text rules of table definitions and values: the
** CREATE TABLE parser with every selection flag, the statements built from
** its definition, key normalization, table keys, the loose contains test
** and reading a value from text with its display and stored forms.
** The first input byte chooses the selection flags; the rest is the text.
*/
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sqliterowstatements.h"
#include "xb_keytext.h"
#include "xb_parameterplain.h"
#include "xb_tabledef.h"
#include "xb_value.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint8_t flags = data[0];
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  XB_String key = XB_NormalizeKey(text);
  XB_String tableKey = XB_TableKey(text);
  XB_ContainsLoosely(text, "PRIMARY KEY");
  XB_ContainsLoosely(key.View(), text);

  XB_Value value = XB_Value::FromText(text);
  XB_Value back = XB_Value::FromText(value.StoredText().View());
  value.AsText();
  back.AsInt();

  std::string statement = "CREATE TABLE ";
  statement.append(text);
  for (std::string_view candidate : {text, std::string_view(statement)}) {
    auto definition = ParseCreateTable(candidate, flags);
    if (!definition) continue;
    BuildSelect(*definition, "rowid");
    SQLiteParameters row(definition->Label().View());
    for (int i = 0; i < definition->Count(); i++) {
      XB_ParameterInfo* info = definition->At(i);
      row.Add(new XB_ParameterPlain(info->Key().View(), XB_Value(text), info));
    }
    row.SetDefinition(definition.get());
    BuildUpdate(row);
    BuildInsert(row, flags);
    BuildCreateTable(row);
  }
  return 0;
}

/*
** Fuzz target for how the dump writes values and names: a 2.x text is
** classified, and a text written as a number must read back as that very
** number; every value and the text as a name become SQL without a crash.
*/
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "xb_sqlitedump.h"
#include "xb_sqlitesqltext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  XB_DumpValue value;
  bool number = XB_SQLiteDump::ClassifyText(text, &value);
  std::string literal;
  XB_AppendSqlValue(&literal, value);
  if (number && value.kind == XB_DumpValue::kInteger && literal != text) std::abort();
  if (number && value.kind == XB_DumpValue::kReal &&
      std::strtod(literal.c_str(), nullptr) != value.real)
    std::abort();
  if (!number && value.kind != XB_DumpValue::kText) std::abort();

  XB_DumpValue blob;
  blob.kind = XB_DumpValue::kBlob;
  blob.text = text;
  XB_AppendSqlValue(&literal, blob);
  XB_SqlName(text);
  XB_SqlString(text);
  return 0;
}

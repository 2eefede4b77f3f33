/*
** libFuzzer target over the XML reader and the settings loader: the input
** is written to a file, walked item by item with every reader operation,
** loaded into a settings tree, written with the writer and loaded again.
** Nothing may crash, hang or leak, whatever the bytes.
*/
#include "settingsstore.h"
#include "xmlreader.h"
#include "xmlwriter.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

/* Returns a file name private to this process. */
static std::string ScratchFile(const char* suffix) {
  return "/tmp/xbstore-fuzz-" + std::to_string(getpid()) + suffix;
}

/* Walks every item of PATH with the item, text and attribute operations. */
static void WalkItems(const std::string& path, bool skipComments) {
  XmlReader reader;
  reader.SetSkipComments(skipComments);
  if (!reader.Open(path.c_str()) || !reader.ReadHeader()) return;
  XB_String item;
  for (int steps = 0; steps < 100000; ++steps) {
    XmlReader::ItemKind kind = reader.NextItem();
    if (kind == XmlReader::ItemEndOfInput) break;
    if (kind == XmlReader::ItemStartTag) {
      for (int i = 0; i < reader.AttrCount(); ++i) reader.GetAttr(reader.AttrName(i).c_str());
      reader.GetAttrHex("a");
      reader.GetAttrDate("d");
      reader.GetAttrInt64Hex("h");
      if ((steps & 3) == 0) reader.ReadText();
    } else if (kind == XmlReader::ItemText) {
      while (reader.NextTextItem(item)) {
      }
    }
  }
  reader.ReadHeader();
  if (reader.FindElement("a")) reader.SkipElement("a");
  reader.FindChildElement("b", "a");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input = ScratchFile(".xml");
  std::string output = ScratchFile("-out.xml");
  FILE* file = fopen(input.c_str(), "wb");
  if (!file) return 0;
  fwrite(data, 1, size, file);
  fclose(file);

  WalkItems(input, true);
  WalkItems(input, false);

  SettingsStore store;
  store.SetFileName(input.c_str());
  store.SetKeepComments(size & 1);
  if (store.Load()) {
    store.Path("update/dayscheck")->GetInt(7, 3, 300);
    /* Written without safe save: its sync to disk would slow every run. */
    XmlWriter writer;
    writer.SetFileName(output.c_str());
    if (writer.Open()) StoreNode::WriteNode(writer, store, "");
    writer.Close();
    SettingsStore again;
    again.SetFileName(output.c_str());
    again.Load("xbstore");
  }
  remove(input.c_str());
  remove(output.c_str());
  return 0;
}

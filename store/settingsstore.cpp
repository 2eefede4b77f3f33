/*
** Loading and saving the settings tree.  The document element stands for
** the root node; its name is not stored, and the file is always written
** with the root element "xbstore".  Settings are read without comments
** unless the store keeps them.
*/
#include "settingsstore.h"

#include "safefilewriter.h"
#include "xmlreader.h"
#include "xmlwriter.h"

#include <cstring>

SettingsStore::SettingsStore() = default;

SettingsStore::~SettingsStore() = default;

bool SettingsStore::SetFileName(const char* path) {
  m_fileName.Clear();
  if (!path || !*path || strlen(path) > SafeFileWriter::MaxPathLength) return false;
  m_fileName = path;
  return true;
}

/* Returns the next item that is not a comment. */
static XmlReader::ItemKind NextNonComment(XmlReader& reader) {
  XmlReader::ItemKind kind;
  do kind = reader.NextItem();
  while (kind == XmlReader::ItemComment);
  return kind;
}

bool SettingsStore::Load(const char* rootName) {
  XmlReader reader;
  reader.SetSkipComments(!m_keepComments);
  if (!reader.Open(m_fileName.c_str()) || !reader.ReadHeader()) return false;
  if (rootName && *rootName) {
    if (NextNonComment(reader) != XmlReader::ItemStartTag || !reader.TagNameIs(rootName))
      return false;
    reader.ReadHeader();
  }
  if (NextNonComment(reader) != XmlReader::ItemStartTag) return false;
  XB_String rootTag = reader.TagName();
  if (reader.HasContent()) ReadElement(reader, rootTag.c_str());
  return true;
}

bool SettingsStore::Save() {
  XmlWriter writer;
  writer.EnableSafeSave(true);
  if (!writer.SetFileName(m_fileName.c_str()) || !writer.Open()) return false;
  WriteNode(writer, *this, "");
  return writer.Close();
}

void SettingsStore::WriteBool(const char* path, bool value) {
  StoreNode::WriteBool(path, value);
  m_written.emplace_back(path ? path : "");
}

void SettingsStore::WriteInt(const char* path, int32_t value) {
  StoreNode::WriteInt(path, value);
  m_written.emplace_back(path ? path : "");
}

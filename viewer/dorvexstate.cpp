/*
** Reading view-state files into a DorvexState record.
*/
#include "dorvexstate.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "storenode.h"
#include "xb_sqlitedb.h"
#include "xmlreader.h"

namespace {

/* Longest repeat interval taken from a file: one day. */
const int32_t kMaxInterval = 24 * 60 * 60;

/* Returns the text of the element the reader stands on, as UTF-8: the XML
** reader hands out Latin-1 bytes, except that a file not declared UTF-8 may
** still hold UTF-8, which is kept as it is. */
std::string ElementTextUtf8(XmlReader& reader, const char* name) {
  XB_String text = reader.HasContent() ? reader.ReadText() : XB_String();
  if (reader.HasContent()) reader.SkipElement(name);
  text.Trim();
  std::string_view view = text.View();
  if (!view.empty() && view.front() == '"') {
    size_t last = view.rfind('"');
    view = last > 0 ? view.substr(1, last - 1) : view.substr(1);
  }
  bool high = false;
  for (char c : view) high |= static_cast<unsigned char>(c) >= 0x80;
  if (!high || (!reader.IsUtf8() && XB_SQLiteDB::IsValidUtf8(view))) return std::string(view);
  std::string utf8;
  for (char c : view) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (u >> 6));
      utf8 += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return utf8;
}

/* Returns PATH with Windows separators made "/" when it has no "/" of its
** own (a state written on Windows with a relative path). */
std::string PortablePath(const std::string& path) {
  if (path.find('/') != std::string::npos) return path;
  std::string portable = path;
  for (char& c : portable) {
    if (c == '\\') c = '/';
  }
  return portable;
}

}  // namespace

DorvexState::DorvexState() : m_main(std::make_unique<StoreNode>()) {}
DorvexState::~DorvexState() = default;
DorvexState::DorvexState(DorvexState&&) noexcept = default;
DorvexState& DorvexState::operator=(DorvexState&&) noexcept = default;

bool DorvexState::Load(const std::string& path, std::string* error) {
  auto fail = [error](const std::string& message) {
    if (error) *error = message;
    return false;
  };
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) return fail("cannot read the view state " + path);
  // A FIFO or device would block or never end; a huge file is no state.
  struct stat info;
  if (::stat(absolute.c_str(), &info) != 0) return fail("view state not found: " + path);
  if (!S_ISREG(info.st_mode)) return fail("not a view state file: " + path);
  if (info.st_size > kMaxFileSize) return fail("view state file too large: " + path);

  XmlReader reader;
  if (!reader.Open(absolute.c_str()) || !reader.ReadHeader())
    return fail("cannot read the view state " + path);
  if (!reader.FindElement("DorvexState")) return fail("not a view state file: " + path);

  DorvexState fresh;
  fresh.m_path = absolute.lexically_normal().string();
  if (reader.HasContent()) {
    while (reader.NextChildElement("DorvexState")) {
      XB_String tag = reader.TagName();
      if (tag.EqualsNoCase("repeat")) {
        fresh.m_interval = std::clamp(reader.GetAttrInt("intervall", 0), 0, kMaxInterval);
        if (reader.HasContent()) reader.SkipElement(tag.c_str());
      } else if (tag.EqualsNoCase("rect")) {
        fresh.m_top = reader.GetAttrInt("t", fresh.m_top);
        fresh.m_right = reader.GetAttrInt("r", fresh.m_right);
        fresh.m_bottom = reader.GetAttrInt("b", fresh.m_bottom);
        fresh.m_left = reader.GetAttrInt("l", fresh.m_left);
        if (reader.HasContent()) reader.SkipElement(tag.c_str());
      } else if (tag.EqualsNoCase("file")) {
        fresh.m_file = PortablePath(ElementTextUtf8(reader, tag.c_str()));
      } else if (tag.EqualsNoCase("name")) {
        fresh.m_name = ElementTextUtf8(reader, tag.c_str());
      } else if (tag.EqualsNoCase("query")) {
        fresh.m_query = ElementTextUtf8(reader, tag.c_str());
      } else if (tag.EqualsNoCase("main")) {
        fresh.m_main->Clear();
        fresh.m_main->ReadElement(reader, tag.c_str());
      } else if (reader.HasContent()) {
        reader.SkipElement(tag.c_str());
      }
    }
  }
  if (fresh.m_file.empty()) return fail("the view state names no database file: " + path);
  if (fresh.m_query.empty()) return fail("the view state holds no query: " + path);
  *this = std::move(fresh);
  return true;
}

std::string DorvexState::DatabasePath() const {
  std::filesystem::path file(m_file);
  if (file.is_absolute()) return file.lexically_normal().string();
  std::filesystem::path folder = std::filesystem::path(m_path).parent_path();
  return (folder / file).lexically_normal().string();
}

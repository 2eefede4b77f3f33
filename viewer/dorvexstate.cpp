/*
** Reading view-state files into a DorvexState record.
*/
#include "dorvexstate.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "storenode.h"
#include "xmlreader.h"
#include "xmlwriter.h"

namespace {

/* Repeat intervals taken from a file: three seconds to one day. */
const int32_t kMinInterval = 3;
const int32_t kMaxInterval = 24 * 60 * 60;

/* Returns the text of the element the reader stands on (UTF-8, as the
** reader delivers it with Unicode text on), trimmed; a text that then begins
** with a double quote is cut to what lies between it and the last one. */
std::string ElementTextUtf8(XmlReader& reader, const char* name) {
  XB_String text = reader.HasContent() ? reader.ReadText() : XB_String();
  if (reader.HasContent()) reader.SkipElement(name);
  text.Trim();
  std::string_view view = text.View();
  if (!view.empty() && view.front() == '"') {
    size_t last = view.rfind('"');
    view = last > 0 ? view.substr(1, last - 1) : view.substr(1);
  }
  return std::string(view);
}

/* Writes TEXT as the element NAME so that loading gives TEXT back: a text
** that loading would trim or cut at quotes goes out in double quotes. */
void WriteTextElement(XmlWriter& writer, const char* name, const std::string& text) {
  writer.BeginElement(name, true);
  bool quote =
      !text.empty() && (text.front() == '"' || static_cast<unsigned char>(text.front()) <= ' ' ||
                        static_cast<unsigned char>(text.back()) <= ' ');
  writer.WriteUnicodeText(quote ? ("\"" + text + "\"").c_str() : text.c_str());
  writer.EndElement(name);
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
  reader.SetUnicodeText(true);
  if (!reader.Open(absolute.c_str()) || !reader.ReadHeader())
    return fail("cannot read the view state " + path);
  if (!reader.FindElement("DorvexState")) return fail("not a view state file: " + path);

  DorvexState fresh;
  fresh.m_path = absolute.lexically_normal().string();
  if (reader.HasContent()) {
    while (reader.NextChildElement("DorvexState")) {
      XB_String tag = reader.TagName();
      if (tag.EqualsNoCase("repeat")) {
        fresh.m_interval = ClampInterval(reader.GetAttrInt("intervall", 0));
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

bool DorvexState::Save(const std::string& path, std::string* error) {
  auto fail = [error](const std::string& message) {
    if (error) *error = message;
    return false;
  };
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec || path.empty()) return fail("cannot write the view state " + path);
  m_path = absolute.lexically_normal().string();
  int32_t interval = ClampInterval(m_interval);

  XmlWriter writer;
  if (!writer.SetFileName(m_path.c_str())) return fail("path too long: " + m_path);
  writer.EnableSafeSave(true);
  bool differs = false;
  writer.SetCheck([&](const std::string& written) {
    DorvexState back;
    differs = !back.Load(written, nullptr) || back.m_file != m_file || back.m_query != m_query ||
              back.m_name != m_name || back.m_interval != interval || back.m_left != m_left ||
              back.m_top != m_top || back.m_right != m_right || back.m_bottom != m_bottom;
    return !differs;
  });
  if (!writer.Open()) return fail("cannot write the view state " + m_path);
  writer.BeginElement("DorvexState", true);
  if (interval > 0) {
    writer.BeginElement("repeat", false);
    writer.WriteAttrInt("intervall", interval);
  }
  WriteTextElement(writer, "file", m_file);
  WriteTextElement(writer, "query", m_query);
  if (!m_name.empty()) WriteTextElement(writer, "name", m_name);
  writer.BeginElement("rect", false);
  writer.WriteAttrInt("t", m_top);
  writer.WriteAttrInt("r", m_right);
  writer.WriteAttrInt("b", m_bottom);
  writer.WriteAttrInt("l", m_left);
  StoreNode::WriteNode(writer, *m_main, "main");
  writer.EndElement("DorvexState");
  if (writer.Close()) return true;
  if (differs)
    return fail("the view state cannot hold this database path or query exactly: " + m_path);
  return fail("cannot write the view state " + m_path);
}

std::string DorvexState::RelativePath(const std::string& database, const std::string& statePath) {
  // "\" separates only in a path written on Windows, which has no "/";
  // here it may be part of a name.
  std::string a = database, b = statePath;
  if (a.find('/') == std::string::npos) std::replace(a.begin(), a.end(), '\\', '/');
  if (b.find('/') == std::string::npos) std::replace(b.begin(), b.end(), '\\', '/');
  size_t last = std::string::npos;
  for (size_t n = a.find('/', 1); n != std::string::npos; n = a.find('/', n + 1)) {
    if (n >= b.size() || b[n] != '/' || a.compare(0, n, b, 0, n) != 0) break;
    last = n;
  }
  if (last == std::string::npos || last == 0) return database;
  std::string relative;
  for (size_t i = last + 1; i < b.size(); ++i) {
    if (b[i] == '/') relative += "../";
  }
  relative += a.substr(last + 1);
  // A name with "\" but no "/" would read back as a Windows path.
  if (relative.find('/') == std::string::npos && relative.find('\\') != std::string::npos)
    return database;
  return relative;
}

int32_t DorvexState::ClampInterval(int64_t seconds) {
  if (seconds <= 0) return 0;
  return static_cast<int32_t>(std::clamp<int64_t>(seconds, kMinInterval, kMaxInterval));
}

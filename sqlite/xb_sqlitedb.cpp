/*
** The parts of the database connection shared by both engine generations:
** path handling, the last error, opening or creating a file, and the two
** factories that choose the generation of a file.
*/
#include "xb_sqlitedb.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "s2probe.h"
#include "xb_sqlite2db.h"
#include "xb_sqlite3db.h"

namespace {

/* The identification text at the start of every generation-2 file. */
const char kGeneration2Header[] = "** This file contains an SQLite 2.1 database **";

/* The query that tells whether an engine can read a file. */
const char kProbeQuery[] = "SELECT name FROM sqlite_master";

/* Returns DB when it is open and answers the probe query; otherwise sets
** *REASON (may be null) to the engine's message, deletes DB and returns
** null.  A message the connection kept from opening (a file that stayed
** locked for the whole busy timeout) ends the probe before it waits again. */
XB_SQLiteDB* KeepIfReadable(XB_SQLiteDB* db, std::string* reason) {
  if (db->IsOpen() && !db->LastError()) {
    XB_SQLiteResult probe;
    if (db->GetTable(probe, "%s", kProbeQuery)) return db;
  }
  if (reason) reason->assign(db->LastError() ? db->LastError() : "");
  delete db;
  return nullptr;
}

/* Reads the UTF-8 sequence at TEXT[POS] into *CODE.  Returns its length, or
** 0 when the bytes there are no valid sequence (truncated, overlong, a
** surrogate or beyond U+10FFFF). */
size_t DecodeUtf8(std::string_view text, size_t pos, uint32_t* code) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos);
  if (lead < 0x80) {
    *code = lead;
    return 1;
  }
  size_t length;
  uint32_t value;
  uint32_t least;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) return 0;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  return length;
}

/* Appends the UTF-8 form of the Latin-1 byte C to OUT. */
void AppendLatin1AsUtf8(std::string* out, unsigned char c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
    return;
  }
  out->push_back(static_cast<char>(0xC0 | (c >> 6)));
  out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
}

/* Returns true when PATH names a file that is not empty. */
bool HasContent(const char* path) {
  struct stat info;
  return path && ::stat(path, &info) == 0 && !S_ISDIR(info.st_mode) && info.st_size > 0;
}

}  // namespace

XB_SQLiteDB::XB_SQLiteDB() = default;

XB_SQLiteDB::XB_SQLiteDB(const char* path) {
  size_t length = path ? std::strlen(path) : 0;
  if (length >= kPathCapacity) {
    m_pathRefused = true;
    return;
  }
  if (length) std::memcpy(m_filePath, path, length);
  m_filePath[length] = '\0';
}

// The base has no handle of its own to close; implementations override.
bool XB_SQLiteDB::Close() {
  return false;
}

bool XB_SQLiteDB::OpenOrCreate() {
  struct stat info;
  bool exists = ::stat(m_filePath, &info) == 0 && !S_ISDIR(info.st_mode);
  if (exists) return Open();
  if (!Open()) return false;
  OnCreated();
  return true;
}

void XB_SQLiteDB::SetLastError(const char* text) {
  m_hasLastError = text != nullptr;
  m_lastError.assign(text ? text : "");
}

void XB_SQLiteDB::ClearLastError() {
  SetLastError(nullptr);
}

void XB_SQLiteDB::NoteDamage(const char* message) {
  if (m_damage.empty())
    m_damage = message && *message ? message : "database disk image is malformed";
}

bool XB_SQLiteDB::PathIsUsable() {
  if (m_pathRefused) {
    SetLastError("file name too long");
    XB_LogF("E_ Failed to open database: the file name is longer than %d characters",
            static_cast<int>(kPathCapacity - 1));
    return false;
  }
  if (!m_filePath[0]) {
    SetLastError("no database file name given");
    XB_Log("E_ Failed to open database: no file name given");
    return false;
  }
  return true;
}

std::string XB_SQLiteDB::EnginePath() const {
  std::string name(m_filePath);
  if (name.rfind("file:", 0) == 0 || name == ":memory:") name.insert(0, "./");
  return name;
}

bool XB_SQLiteDB::StatementIsSound(const XB_String& sql) {
  if (!sql.IsError()) return true;
  XB_Log("E_ SQLite: statement could not be formatted");
  return false;
}

bool XB_SQLiteDB::TableExists(const char* name) {
  std::string_view wanted = name ? name : "";
  XB_String found;
  if (!QueryValue(found, "SELECT name FROM sqlite_master WHERE upper(name)=upper(%s)",
                  SqlLiteral(wanted)))
    return false;
  return found.EqualsNoCase(wanted);
}

void XB_SQLiteDB::SetEngineHandle(void* handle) {
  std::lock_guard<std::mutex> lock(m_handleMutex);
  m_engineHandle = handle;
}

void XB_SQLiteDB::SetTextEncoding(XB_TextEncoding enc) {
  if (Version() < 3.0) m_textEncoding = enc;
  m_encodingDecided = true;
}

bool XB_SQLiteDB::IsValidUtf8(std::string_view text) {
  uint32_t code;
  for (size_t pos = 0; pos < text.size();) {
    size_t length = DecodeUtf8(text, pos, &code);
    if (!length) return false;
    pos += length;
  }
  return true;
}

bool XB_SQLiteDB::ToFileText(std::string_view utf8, std::string* stored, std::string* error) const {
  stored->clear();
  stored->reserve(utf8.size());
  uint32_t code;
  for (size_t pos = 0; pos < utf8.size();) {
    size_t length = DecodeUtf8(utf8, pos, &code);
    if (!length) {
      if (error) *error = "the text is not valid UTF-8";
      return false;
    }
    if (m_textEncoding == XB_TEXT_UTF8) {
      stored->append(utf8.substr(pos, length));
    } else if (code <= 0xFF) {
      stored->push_back(static_cast<char>(code));
    } else {
      if (error) {
        XB_String message;
        message.Format("the character %s (U+%04X) cannot be stored in this Latin-1 database",
                       std::string(utf8.substr(pos, length)), static_cast<unsigned>(code));
        *error = message.Std();
      }
      return false;
    }
    pos += length;
  }
  return true;
}

std::string XB_SQLiteDB::FromFileText(std::string_view stored) const {
  std::string text;
  text.reserve(stored.size() + stored.size() / 4);
  uint32_t code;
  for (size_t pos = 0; pos < stored.size();) {
    size_t length = m_textEncoding == XB_TEXT_UTF8 ? DecodeUtf8(stored, pos, &code) : 0;
    if (length) {
      text.append(stored.substr(pos, length));
      pos += length;
    } else {
      AppendLatin1AsUtf8(&text, static_cast<unsigned char>(stored[pos++]));
    }
  }
  return text;
}

XB_String XB_SQLiteDB::SqlLiteral(std::string_view text) {
  XB_String literal;
  literal.Reserve(text.size() + 2);
  literal.Append('\'');
  for (char c : text) {
    if (c == '\'') literal.Append('\'');
    literal.Append(c);
  }
  literal.Append('\'');
  return literal;
}

bool XB_SQLiteDB::IsGeneration2File(const char* path) {
  if (!path || !path[0]) return false;
  struct stat info;
  if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  // The generation-2 engine looks first, through the descriptor this process
  // already shares for the file: a descriptor of our own, once closed, would
  // drop the locks another connection of this process holds; and a hot
  // journal beside a 2.x file is rolled back before anyone else opens it.
  switch (s2::probeGeneration(path)) {
    case s2::Probe::Generation2:
      return true;
    case s2::Probe::NotGeneration2:
      return false;
    case s2::Probe::Busy:
      // A connection of this process or another process holds the file
      // under the generation-2 locks, so it is a generation-2 file in use.
      return true;
    case s2::Probe::Unopenable:
      break;
  }
  // The engine could not open it at all; a descriptor of our own takes no
  // lock of this process with it, since the engine holds none on the file.
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  char head[sizeof kGeneration2Header - 1];
  ssize_t got = ::read(fd, head, sizeof head);
  ::close(fd);
  return got == static_cast<ssize_t>(sizeof head) &&
         std::memcmp(head, kGeneration2Header, sizeof head) == 0;
}

XB_SQLiteDB* XB_SQLiteDB::NewAuto(const char* path) {
  return NewAuto(path, nullptr);
}

XB_SQLiteDB* XB_SQLiteDB::NewAuto(const char* path, std::string* reason) {
  if (reason) reason->clear();
  // A generation-2 file must never reach the generation-3 engine: it would
  // delete a hot rollback journal of the other generation unplayed.
  if (IsGeneration2File(path)) return KeepIfReadable(new XB_SQLite2DB(path), reason);
  if (XB_SQLiteDB* db = KeepIfReadable(new XB_SQLite3DB(path), reason)) return db;
  // The older engine takes any file shorter than one page for an empty
  // database and would overwrite it on the first change; a file with content
  // but without its header is no database of that generation.
  if (HasContent(path)) return nullptr;
  return KeepIfReadable(new XB_SQLite2DB(path), reason);
}

XB_SQLiteDB* XB_SQLiteDB::NewByVersion(const char* path, int version) {
  if (version == 2) return new XB_SQLite2DB(path);
  return new XB_SQLite3DB(path);
}

/*
** DorvexState: the record of a view-state file (extension "dvxs"), an XML
** file with the root element "DorvexState" that names a database file, the
** query to show, an optional caption and repeat interval, the main window's
** rectangle and its bar layout.
**
** Load reads a file into a fresh record and replaces this one only when the
** whole load succeeded, so nothing of an earlier state (a name, an interval,
** a rectangle) leaks into a later one.  Element names are matched ignoring
** letter case; the order of the children does not matter.  Loading fails
** (message in *error, record unchanged) when the path is not a regular file
** of at most kMaxFileSize bytes, the file is not XML with a "DorvexState"
** element, or its file or query is empty.
**
** Save writes the record through a temporary file that replaces the target
** only once it is complete and reads back into the same file, query, name,
** interval and rectangle; texts go out so that they read back exactly.
*/
#ifndef DORVEXSTATE_H
#define DORVEXSTATE_H

#include <cstdint>
#include <memory>
#include <string>

class StoreNode;

class DorvexState {
 public:
  /* Largest state file read, in bytes. */
  static constexpr int64_t kMaxFileSize = 1 << 20;

  DorvexState();
  ~DorvexState();
  DorvexState(DorvexState&&) noexcept;
  DorvexState& operator=(DorvexState&&) noexcept;
  DorvexState(const DorvexState&) = delete;
  DorvexState& operator=(const DorvexState&) = delete;

  /* Reads the state file at PATH into this record (see the file comment).
  ** Returns false with a message in *ERROR (may be null) when it fails;
  ** the record is then unchanged. */
  bool Load(const std::string& path, std::string* error);

  /* Writes this record as a state file at PATH and sets m_path to PATH made
  ** absolute.  The interval is written clamped as ClampInterval() does.
  ** Returns false with a message in *ERROR (may be null) when the file
  ** cannot be written (the old file at PATH is then kept) or would not read
  ** back into the same record (a text that the file cannot carry: an empty
  ** file or query, a word of over 500 bytes, a file name without "/" but
  ** with "\"). */
  bool Save(const std::string& path, std::string* error);

  /* Returns DATABASE (an absolute path) relative to the folder of the state
  ** file STATEPATH when the two share a folder below the root, written with
  ** "/" (compared case-sensitively; "\" counts as a separator in a path
  ** without "/", one written on Windows); otherwise, or when the relative
  ** path would not read back as the same file, DATABASE unchanged. */
  static std::string RelativePath(const std::string& database, const std::string& statePath);

  /* Returns the repeat interval to use for SECONDS from a state file: 0 (no
  ** repeat) for zero or less, else SECONDS clamped to 3..86,400. */
  static int32_t ClampInterval(int64_t seconds);

  /* Returns the database path: FILE made absolute against the folder of the
  ** state file when it is relative. */
  std::string DatabasePath() const;

  std::string m_file;  /* database path as written in the state */
  std::string m_query; /* the view's SQL */
  std::string m_path;  /* the state file's own absolute path */
  std::string m_name;  /* caption replacing the window title; may be empty */
  int32_t m_left = 0, m_top = 0, m_right = 0, m_bottom = 0; /* main window */
  int32_t m_interval = 0;            /* repeat interval in seconds; 0: none */
  std::unique_ptr<StoreNode> m_main; /* bars/query, bars/status, bars/tool, topmost */
};

#endif

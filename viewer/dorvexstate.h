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
** element, or its file or query is empty.  Saving comes with the view's
** Save State command.
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

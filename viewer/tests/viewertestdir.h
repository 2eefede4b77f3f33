/*
** Test helper of the viewer's window-free core: a private temporary folder
** removed with everything in it, files written into it, and a document
** host that records the questions asked and gives prepared answers.
*/
#ifndef VIEWERTESTDIR_H
#define VIEWERTESTDIR_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "dorvexdochost.h"
#include "dorvexstate.h"
#include "xb_sqlitedb.h"

class ViewerTestDir {
 public:
  ViewerTestDir() {
    char pattern[] = "/tmp/xb-viewer-test-XXXXXX";
    if (mkdtemp(pattern)) m_root = pattern;
    EXPECT_FALSE(m_root.empty());
  }
  ~ViewerTestDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
  }
  ViewerTestDir(const ViewerTestDir&) = delete;
  ViewerTestDir& operator=(const ViewerTestDir&) = delete;

  /* Returns the path of NAME inside the folder. */
  std::string Path(const std::string& name) const { return m_root + "/" + name; }

  /* Writes TEXT as the whole content of NAME; returns its path. */
  std::string Write(const std::string& name, const std::string& text) const {
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  /* Copies the generation-2 fixture NAME into the folder as COPY. */
  std::string Fixture(const std::string& name, const std::string& copy) const {
    std::string path = Path(copy);
    std::filesystem::copy_file(std::string(XB_SQLITE2_FIXTURES) + "/" + name, path);
    return path;
  }

  /* Makes a database of VERSION at NAME by running SQL; returns its path. */
  std::string MakeDatabase(const std::string& name, int version, const std::string& sql) const {
    std::string path = Path(name);
    std::unique_ptr<XB_SQLiteDB> db(XB_SQLiteDB::NewByVersion(path.c_str(), version));
    EXPECT_TRUE(db->Exec(sql.c_str())) << (db->LastError() ? db->LastError() : "");
    return path;
  }

  /* Returns the whole content of the file at PATH. */
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string m_root;
};

/* A document host that records every question and answers as told. */
class RecordingHost : public DorvexDocHost {
 public:
  bool AskYesNo(const std::string& question, bool defaultYes) override {
    m_questions.push_back(question);
    m_defaults.push_back(defaultYes);
    return m_yes;
  }
  TransactionEnd AskTransactionEnd(const std::string& question) override {
    m_questions.push_back(question);
    return m_transactionEnd;
  }
  void ApplyStateLayout(const DorvexState& state) override { m_layouts.push_back(state.m_path); }

  bool m_yes = false;
  TransactionEnd m_transactionEnd = TransactionEnd::KeepOpen;
  std::vector<std::string> m_questions;
  std::vector<bool> m_defaults;
  std::vector<std::string> m_layouts;
};

#endif

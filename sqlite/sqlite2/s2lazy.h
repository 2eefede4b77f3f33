/*
** The lazy view of one connection's database file: the page cache over
** the file, the header values and schema rows read through it and the
** catalog the virtual tables use.  The connection calls refresh() under
** its lock before each statement: page 1 is read again and the schema
** only when page 1 says it changed.  When the connection gives up its
** lock it calls forgetPages(), so nothing read under an old lock is used
** under a new one.
*/
#ifndef S2LAZY_H
#define S2LAZY_H

#include "s2catalog.h"
#include "s2file.h"
#include "s2pager.h"
#include "s2pending.h"
#include "s2sqlvalue.h"
#include "s2vtab.h"

#include <array>
#include <functional>
#include <memory>

namespace s2 {

/* Pages of a File, read under the lock its connection holds. */
class FileSource : public PageSource {
 public:
  explicit FileSource(File& file) : m_file(file) {}
  Status readPage(uint32_t number, unsigned char* out) override;
  uint32_t pageCount() override;

 private:
  File& m_file;
};

/*
** Protocol: refresh() under a lock (read or write) before the file is
** read; schema() and catalog() then describe the file; changeRow() or
** insertRow() for each row a statement changes, then commitChanges() under the write lock
** or dropChanges(); forgetPages() when the lock is released.  refresh() errors: those of readCatalogSchema();
** kBusy when no lock is held.  In an explicit transaction (under the write
** lock): beginTransaction(), then endStatement() after each statement,
** then commitTransaction() or dropTransaction(); reads in between show the
** file as the transaction has changed it so far.
*/
class LazyFile : public TreeHost {
 public:
  /* HOOKS gives the random source of rowid probes; both must outlive
  ** the LazyFile. */
  LazyFile(File& file, FunctionHooks& hooks);

  /* Reads page 1 and, when the schema may have changed since the last
  ** refresh (or on the first), the schema rows.  *schemaChanged tells
  ** whether it was read again. */
  Status refresh(bool* schemaChanged);

  /* True when the file as last refreshed can be read lazily: at least two
  ** pages (a shorter file is read whole, cheaply) and a format whose
  ** tables 2.8.17 reads without upgrading them. */
  bool usable() const { return m_known && m_usable; }

  /* The tables of the file as last refreshed. */
  const TreeCatalog& tables() const { return m_catalog; }

  /* Header values and schema rows as last refreshed (no table rows). */
  const Image& schema() const { return m_schema; }

  /* Forgets the cached pages and drops pending row changes. */
  void forgetPages();
  void forget();

  /* Writes the pending row changes into the file (under the write lock
  ** the connection holds) and forgets them.  Errors: File::writePages'. */
  Status commitChanges();

  /* Drops the pending row changes. */
  void dropChanges() { m_pending.reset(); }

  /* While REFUSE holds, changeRow() and insertRow() fail with kInternal
  ** and change nothing: the working copy then holds some tables as SQLite
  ** 3 tables and writes them back itself, and a row reaching a virtual
  ** table would be one its choice of tables missed. */
  void refuseRowChanges(bool refuse) { m_rowChangesRefused = refuse; }

  /* Reads every row of table NAME in rowid order, as the file (or the
  ** open transaction) holds it, into ROWS: one cell per declared column,
  ** the rowid alias showing the rowid.  Errors: kError for a table the
  ** catalog lacks, kCorrupt for a damaged page or record. */
  Status readRows(const std::string& name, std::vector<Row>& rows);

  /* Runs CHANGE with a b-tree editor over the pending changes of the
  ** running statement (begun when there are none), for changes other than
  ** one row of a virtual table: rows written back from a working copy,
  ** schema changes.  They are pending, and committed or dropped, as row
  ** changes are.  Returns CHANGE's error, or the first error met reading
  ** the pages. */
  Status edit(const std::function<Status(TreeEditor&)>& change);

  /* Starts keeping the changes of successive statements until
  ** commitTransaction() or dropTransaction(). */
  void beginTransaction();

  /* True between beginTransaction() and the end of the transaction. */
  bool inTransaction() const { return m_transaction != nullptr; }

  /* Ends a statement of the transaction: its changes join the
  ** transaction's when KEEP, else they are dropped. */
  void endStatement(bool keep);

  /* Writes the changes of the transaction into the file as commitChanges()
  ** does and ends the transaction; on failure it stays open.  Errors:
  ** File::writePages'. */
  Status commitTransaction();

  /* Drops the changes of the transaction and ends it. */
  void dropTransaction();

  /* The pages the transaction changed so far, with the page count of the
  ** file before it (pages as PendingPages::changes gives them, valid until
  ** the transaction ends). */
  std::vector<PageWrite> transactionPages(uint32_t* originalPages) const;

  PageCache& pageCache() override { return m_cache; }
  const TreeCatalog& catalog() override { return m_catalog; }
  Status readable() override;
  Status changeRow(const std::string& name, int64_t rowid,
                   const std::vector<Cell>* fields) override;
  Status insertRow(const std::string& name, std::optional<int64_t> rowid,
                   const std::vector<Cell>& fields, int64_t* inserted) override;

 private:
  /* The error of a row change while they are refused, naming table NAME. */
  static Status refusedChange(const std::string& name);
  /* Refuses a NULL in a NOT NULL column of FIELDS (kConstraint). */
  static Status checkNotNull(const TableDef& def, const std::vector<Cell>& fields);
  /* Chooses the rowid of a new row of TABLE as 2.x does: one past the
  ** largest, 1 in an empty table, a free one at random once the largest
  ** is 2147483647; CURSOR reads the table as this statement left it. */
  Status nextRowid(TreeCursor& cursor, int64_t* rowid);
  /* Journals and writes the changed PAGES into the file, in 2.x order.
  ** Errors: those PAGES met, then File::writePages'. */
  Status writeOut(const PendingPages& pages);

  File& m_file;
  FunctionHooks& m_hooks;
  FileSource m_source;
  PageCache m_cache;
  TreeCatalog m_catalog;
  std::unique_ptr<PendingPages> m_pending;     /* row changes of the running statement */
  std::unique_ptr<PendingPages> m_transaction; /* those of earlier statements of the transaction */
  Image m_schema;
  bool m_known = false;
  bool m_usable = false;
  bool m_rowChangesRefused = false;
  std::array<unsigned char, kOffMeta + 36>
      m_header{}; /* page 1 as last seen, without the freelist */
};

}  // namespace s2

#endif

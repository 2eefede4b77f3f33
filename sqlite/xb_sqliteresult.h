/*
** The answer of one query as a table of text cells.  The first row of the
** flat cell array holds the column names, the following rows the values; an
** SQL NULL is a null cell.  The cells live in a reference-counted holder
** (XB_SQLiteTable) that gives its memory back the way it was obtained: the
** generation-2 engine's get-table array goes back through that engine's free
** function, the compact block that the generation-3 connection fills goes
** back to the heap.  A filled result needs no connection and may outlive the
** one that filled it; copies of a result share one holder, and the memory is
** returned when the last of them lets go.
*/
#ifndef XB_SQLITERESULT_H
#define XB_SQLITERESULT_H

#include <cstddef>
#include <cstdint>

/*
** Reference-counted holder of the cells of one result.  A new holder has a
** count of 1; AddRef and Release move it, and the Release that brings it to
** zero calls Free and deletes the holder.
*/
class XB_SQLiteTable {
 public:
  XB_SQLiteTable() = default;
  XB_SQLiteTable(const XB_SQLiteTable&) = delete;
  XB_SQLiteTable& operator=(const XB_SQLiteTable&) = delete;

  /* Gives the cell memory back to whoever made it.  Called exactly once, by
  ** the last Release. */
  virtual void Free() = 0;

  /* Returns the cell at a flat index (names first, row-major), or null for
  ** an SQL NULL.  The index must lie inside the table. */
  virtual const char* Cell(size_t index) const = 0;

  /* As Cell, and sets LENGTH to the cell's length (0 for SQL NULL). */
  virtual const char* Cell(size_t index, size_t& length) const = 0;

  /* For holders that keep all cells in one block, one after the other in
  ** index order, each cell's text followed by one NUL and holding none
  ** itself (an SQL NULL is an empty cell there): returns the block and sets
  ** BYTES to its size.  Other holders return null.  Lets whole results be
  ** printed by copying large runs of text. */
  virtual const char* Block(size_t& bytes) const {
    bytes = 0;
    return nullptr;
  }

  /* Adds one holder of the table. */
  void AddRef() { ++m_refCount; }

  /* Drops one holder; the last one frees the cells and deletes the table. */
  void Release();

 protected:
  virtual ~XB_SQLiteTable() = default;

 private:
  int m_refCount = 1;
};

/*
** Holder of a get-table array of the generation-2 engine; Free hands it back
** to sqlite_free_table.
*/
class XB_SQLite2Table final : public XB_SQLiteTable {
 public:
  explicit XB_SQLite2Table(char** engineArray) : m_cells(engineArray) {}
  /* Hands the get-table array back to the generation-2 engine. */
  void Free() override;
  const char* Cell(size_t index) const override { return m_cells[index]; }
  /* Returns the cell at INDEX and its length. */
  const char* Cell(size_t index, size_t& length) const override;

 private:
  char** m_cells;
};

/*
** Holder of cells copied into one text block.  Every cell takes its text and
** a NUL there; the start of every eighth cell is kept as a 32-bit offset,
** and the cells in between are found by their terminators.  SQL NULL is one
** bit of a separate map.  So a cell costs little more than one byte beyond
** its text (a million rows of five columns keep 2.5 MB of offsets, not the
** 20 MB of one per cell), and reaching a cell skips at most seven others.
*/
class XB_SQLiteBlockTable final : public XB_SQLiteTable {
 public:
  XB_SQLiteBlockTable() = default;
  /* Returns the text block, the offsets and the NULL map to the heap. */
  void Free() override;
  const char* Cell(size_t index) const override {
    if (IsNull(index)) return nullptr;
    return m_text + Start(index);
  }
  const char* Cell(size_t index, size_t& length) const override;

  const char* Block(size_t& bytes) const override {
    bytes = m_textUsed;
    return m_text;
  }

  /* Appends one cell (null for SQL NULL): the first LENGTH bytes of VALUE,
  ** up to its first NUL if it holds one.  Returns false when memory runs
  ** out or the block would pass 4 GiB; the table is then unchanged. */
  bool Append(const char* value, size_t length);

  /* Number of cells appended so far. */
  size_t CellCount() const { return m_cellCount; }

  /* Gives back the slack of the growing arrays once filling is complete. */
  void Shrink();

 private:
  /* Cells per kept offset. */
  static constexpr size_t kStride = 8;

  bool IsNull(size_t index) const { return (m_nulls[index >> 3] >> (index & 7)) & 1; }
  /* Returns the offset of cell INDEX in the block. */
  size_t Start(size_t index) const;
  /* Makes room for one more cell with EXTRATEXT bytes of text.  Returns false
  ** when that is impossible; nothing is lost then. */
  bool Reserve(size_t extraText);

  char* m_text = nullptr;
  size_t m_textUsed = 0;
  size_t m_textCapacity = 0;
  uint32_t* m_marks = nullptr; /* offset of cell i * kStride at [i] */
  unsigned char* m_nulls = nullptr;
  size_t m_cellCount = 0;
  size_t m_cellCapacity = 0; /* a multiple of kStride */
};

/*
** A query result: column count, data row count and the shared holder of the
** cells.  Empty (0 columns, 0 rows, no holder) until a connection fills it;
** a failed query leaves it empty.  Copies share the holder.
*/
class XB_SQLiteResult {
 public:
  XB_SQLiteResult() = default;
  /* Makes a second holder of the same cells. */
  XB_SQLiteResult(const XB_SQLiteResult& other);
  /* Takes over the cells of OTHER, which is left empty. */
  XB_SQLiteResult(XB_SQLiteResult&& other) noexcept;
  XB_SQLiteResult& operator=(const XB_SQLiteResult& other);
  XB_SQLiteResult& operator=(XB_SQLiteResult&& other) noexcept;
  /* Lets go of the cells. */
  virtual ~XB_SQLiteResult();

  /* Lets go of the cells and sets both counts to 0. */
  void Reset();

  /* Empties the result, then takes over HOLDER (its one reference) with the
  ** given column count and data row count. */
  void Set(XB_SQLiteTable* holder, int columnCount, int rowCount);

  /* Number of columns; 0 when empty. */
  int Cols() const { return m_columnCount; }

  /* Number of data rows, the row of column names not counted. */
  int Rows() const { return m_rowCount; }

  /* Returns the cell at a flat index: 0 .. Cols()-1 are the column names,
  ** data row r column c is at (r + 1) * Cols() + c.  Not bounds-checked. */
  const char* Cell(int index) const { return m_table->Cell(static_cast<size_t>(index)); }

  /* Returns the value of data row ROW and column COL, or null when either is
  ** outside the result or the value is SQL NULL. */
  const char* Get(int col, int row) const;

  /* As Get, and sets LENGTH to the value's length (0 when there is none). */
  const char* Get(int col, int row, size_t& length) const;

  /* The cell block of the holder, as XB_SQLiteTable::Block; null when the
  ** result is empty or its holder keeps its cells otherwise. */
  const char* Block(size_t& bytes) const {
    bytes = 0;
    return m_table ? m_table->Block(bytes) : nullptr;
  }

 private:
  int m_columnCount = 0;
  int m_rowCount = 0;
  XB_SQLiteTable* m_table = nullptr;
};

/*
** Two further kinds of result that behave exactly like XB_SQLiteResult: the
** grid view keeps an XB_SQLiteResultGrid and the tab-separated text answers
** an XB_SQLiteResultText, so each use has a type of its own.
*/
class XB_SQLiteResultGrid : public XB_SQLiteResult {};
class XB_SQLiteResultText : public XB_SQLiteResult {};

#endif

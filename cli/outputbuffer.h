/*
** A large write buffer in front of an output stream.  Results of a million
** rows are printed cell by cell; collecting them here and handing the
** stream big blocks keeps the per-cell cost at a memcpy.
*/
#ifndef OUTPUTBUFFER_H
#define OUTPUTBUFFER_H

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>

class OutputBuffer {
 public:
  /* Buffers output for STREAM; a null stream swallows everything. */
  explicit OutputBuffer(FILE* stream);
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;
  /* Hands what is left to the stream. */
  ~OutputBuffer();

  /* Appends a NUL-terminated text; null appends nothing. */
  void Write(const char* text, size_t length) {
    if (length <= kCapacity - m_used) {
      std::memcpy(m_buffer.get() + m_used, text, length);
      m_used += length;
      return;
    }
    WriteLarge(text, length);
  }

  /* Appends one character. */
  void Put(char c) {
    if (m_used == kCapacity) Flush();
    m_buffer[m_used++] = c;
  }

  /* Returns room for LENGTH bytes (at most Capacity()) at the end of the
  ** buffer, for the caller to fill and then Commit. */
  char* Claim(size_t length) {
    if (length > kCapacity - m_used) Flush();
    return m_buffer.get() + m_used;
  }

  /* Adds LENGTH bytes written into the room Claim returned. */
  void Commit(size_t length) { m_used += length; }

  /* The most one Claim can ask for. */
  static constexpr size_t Capacity() { return kCapacity; }

  /* Appends COUNT copies of C. */
  void Repeat(char c, size_t count);

  /* Appends a NUL-terminated text; null appends nothing. */
  void Write(const char* text);

  /* Hands everything buffered to the stream and flushes it.  Returns false
  ** when the stream reported a write error at any time. */
  bool Flush();

 private:
  static constexpr size_t kCapacity = 1 << 20;
  /* Appends a text that does not fit the free space: the buffer goes out
  ** first, and a text as large as the buffer goes to the stream directly. */
  void WriteLarge(const char* text, size_t length);

  FILE* m_stream;
  std::unique_ptr<char[]> m_buffer;
  size_t m_used = 0;
  bool m_failed = false;
};

#endif

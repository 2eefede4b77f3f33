/*
** The large write buffer used for query output.
*/
#include "outputbuffer.h"

#include <cstring>

/* Buffers output for STREAM. */
OutputBuffer::OutputBuffer(FILE* out) : m_stream(out), m_buffer(new char[kCapacity]) {}

/* Hands what is left to the stream. */
OutputBuffer::~OutputBuffer() {
  Flush();
}

/* Appends a text that does not fit the free space: the buffer goes out
** first, and a text as large as the buffer goes to the stream directly. */
void OutputBuffer::WriteLarge(const char* text, size_t length) {
  Flush();
  if (length >= kCapacity) {
    if (m_stream && std::fwrite(text, 1, length, m_stream) != length) m_failed = true;
    return;
  }
  std::memcpy(m_buffer.get(), text, length);
  m_used = length;
}

/* Appends COUNT copies of C. */
void OutputBuffer::Repeat(char c, size_t count) {
  while (count--) Put(c);
}

/* Appends a NUL-terminated text; null appends nothing. */
void OutputBuffer::Write(const char* text) {
  if (text) Write(text, std::strlen(text));
}

/* Hands the buffer to the stream.  Returns false after any write error. */
bool OutputBuffer::Flush() {
  if (m_stream && m_used && std::fwrite(m_buffer.get(), 1, m_used, m_stream) != m_used)
    m_failed = true;
  m_used = 0;
  if (m_stream && std::fflush(m_stream) != 0) m_failed = true;
  return !m_failed;
}

/*
** The large write buffer used for query output.
*/
#include "outputbuffer.h"

#include <cstring>

OutputBuffer::OutputBuffer(FILE* out) : m_stream(out), m_buffer(new char[kCapacity]) {}

OutputBuffer::~OutputBuffer() {
  Flush();
}

void OutputBuffer::WriteLarge(const char* text, size_t length) {
  Flush();
  if (length >= kCapacity) {
    if (m_stream && std::fwrite(text, 1, length, m_stream) != length) m_failed = true;
    return;
  }
  std::memcpy(m_buffer.get(), text, length);
  m_used = length;
}

void OutputBuffer::Repeat(char c, size_t count) {
  while (count--) Put(c);
}

void OutputBuffer::Write(const char* text) {
  if (text) Write(text, std::strlen(text));
}

bool OutputBuffer::Flush() {
  if (m_stream && m_used && std::fwrite(m_buffer.get(), 1, m_used, m_stream) != m_used)
    m_failed = true;
  m_used = 0;
  if (m_stream && std::fflush(m_stream) != 0) m_failed = true;
  return !m_failed;
}

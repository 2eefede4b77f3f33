/*
** The large write buffer used for query output.
*/
#include "outputbuffer.h"

#include <cstring>

/* Buffers output for STREAM. */
OutputBuffer::OutputBuffer(FILE* out) : stream(out), buffer(new char[kCapacity]) {}

/* Hands what is left to the stream. */
OutputBuffer::~OutputBuffer() {
  Flush();
}

/* Appends a text that does not fit the free space: the buffer goes out
** first, and a text as large as the buffer goes to the stream directly. */
void OutputBuffer::WriteLarge(const char* text, size_t length) {
  Flush();
  if (length >= kCapacity) {
    if (stream && std::fwrite(text, 1, length, stream) != length) failed = true;
    return;
  }
  std::memcpy(buffer.get(), text, length);
  used = length;
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
  if (stream && used && std::fwrite(buffer.get(), 1, used, stream) != used) failed = true;
  used = 0;
  if (stream && std::fflush(stream) != 0) failed = true;
  return !failed;
}

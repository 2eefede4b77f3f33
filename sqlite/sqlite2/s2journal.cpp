/*
** The 2.x rollback journal.  Journals of formats 1 to 3 are played back
** with 2.8.17's exact rules (including its early stops), so that a file
** left by a crashed 2.x writer, or by us, ends up as 2.8.17 would leave
** it.  Journals we write are format 3 with big-endian integers.
*/
#include "s2journal.h"
#include "s2format.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace s2 {

namespace {

const unsigned char kJournalMagic[3][8] = {
    {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd4},
    {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd5},
    {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd6},
};

/* Reads exactly N bytes at OFFSET; false on a short read or error. */
bool readAt(int fd, void* buffer, size_t n, off_t offset) {
  char* p = static_cast<char*>(buffer);
  while (n > 0) {
    ssize_t got = pread(fd, p, n, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    n -= size_t(got);
    offset += got;
  }
  return true;
}

/* Writes exactly N bytes at OFFSET; false on error. */
bool writeAt(int fd, const void* buffer, size_t n, off_t offset) {
  const char* p = static_cast<const char*>(buffer);
  while (n > 0) {
    ssize_t put = pwrite(fd, p, n, offset);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    n -= size_t(put);
    offset += put;
  }
  return true;
}

/* Reads a journal integer: native order in format 1, big-endian later. */
uint32_t journalInt(const unsigned char* p, int format) {
  if (format == 1) {
    ByteOrder native;
    native.bigEndian = nativeBigEndian();
    return native.get32(p);
  }
  return getBE32(p);
}

/* Plays back the open journal JFD of SIZE bytes; returns false on failure. */
bool playBack(int dbFd, int jfd, off_t size) {
  if (size < 12) return true;
  unsigned char head[20];
  if (!readAt(jfd, head, 12, 0)) return false;
  int format = 0;
  for (int f = 0; f < 3; f++) {
    if (std::memcmp(head, kJournalMagic[f], 8) == 0) format = f + 1;
  }
  if (format == 0) return false;
  uint64_t records;
  uint32_t originalPages;
  uint32_t checkInit = 0;
  off_t offset;
  if (format == 3) {
    if (size < 20) return true;
    if (!readAt(jfd, head, 20, 0)) return false;
    uint32_t nRec = getBE32(head + 8);
    checkInit = getBE32(head + 12);
    originalPages = getBE32(head + 16);
    records = nRec == 0xffffffffu ? uint64_t(size - 20) / 1032 : nRec;
    offset = 20;
  } else {
    originalPages = journalInt(head + 8, format);
    records = uint64_t(size - 12) / 1028;
    offset = 12;
  }
  if (ftruncate(dbFd, off_t(originalPages) * off_t(kPageSize)) != 0) return false;
  unsigned char page[4 + kPageSize];
  for (uint64_t i = 0; i < records; i++) {
    if (!readAt(jfd, page, sizeof page, offset)) return false;
    offset += sizeof page;
    uint32_t number = journalInt(page, format);
    if (number == 0) return true;
    /* 2.8.17 does not consume the check value of a skipped record. */
    if (number > originalPages) continue;
    if (format == 3) {
      unsigned char check[4];
      if (!readAt(jfd, check, 4, offset)) return false;
      offset += 4;
      if (getBE32(check) != checkInit + number) return true;
    }
    if (!writeAt(dbFd, page + 4, kPageSize, off_t(number - 1) * off_t(kPageSize))) return false;
  }
  return true;
}

}  // namespace

std::string directoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void syncDirectory(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  ::close(fd);
}

Status playBackJournal(int dbFd, const std::string& journalPath) {
  int jfd = ::open(journalPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (jfd < 0) return Status::failure(kBusy, "database is locked");
  struct stat st;
  bool good = fstat(jfd, &st) == 0 && playBack(dbFd, jfd, st.st_size);
  ::close(jfd);
  /* The restored pages must be durable before the journal disappears. */
  if (good) fsync(dbFd);
  unlink(journalPath.c_str());
  if (!good) return Status::failure(kCorrupt, "database disk image is malformed");
  return Status::success();
}

Status writeJournal(const std::string& journalPath, uint32_t originalPages,
                    const std::vector<JournalRecord>& records) {
  int fd = ::open(journalPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return Status::failure(kCantOpen, "unable to open database file");
  std::random_device device;
  uint32_t checkInit = device();
  std::string buffer;
  buffer.reserve(20 + records.size() * 1032);
  unsigned char word[4];
  buffer.append(reinterpret_cast<const char*>(kJournalMagic[2]), 8);
  putBE32(word, 0);
  buffer.append(reinterpret_cast<const char*>(word), 4);
  putBE32(word, checkInit);
  buffer.append(reinterpret_cast<const char*>(word), 4);
  putBE32(word, originalPages);
  buffer.append(reinterpret_cast<const char*>(word), 4);
  for (const JournalRecord& r : records) {
    putBE32(word, r.page);
    buffer.append(reinterpret_cast<const char*>(word), 4);
    buffer.append(r.original, kPageSize);
    putBE32(word, checkInit + r.page);
    buffer.append(reinterpret_cast<const char*>(word), 4);
  }
  bool good = writeAt(fd, buffer.data(), buffer.size(), 0) && fsync(fd) == 0;
  putBE32(word, uint32_t(records.size()));
  good = good && writeAt(fd, word, 4, 8) && fsync(fd) == 0;
  ::close(fd);
  if (!good) {
    unlink(journalPath.c_str());
    return Status::failure(kIoErr, "disk I/O error");
  }
  syncDirectory(directoryOf(journalPath));
  return Status::success();
}

}  // namespace s2

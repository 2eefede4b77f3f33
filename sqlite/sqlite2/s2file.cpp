/*
** class File: one connection to one 2.x database file.  It takes the same
** whole-file fcntl locks as 2.8.17, plays back hot journals, reads the file
** into an Image and writes an Image back in place under a rollback journal.
**
** POSIX locks belong to the process, and closing any descriptor of a file
** drops all of them.  So the process keeps exactly one descriptor per file
** (keyed by device and inode) that every connection to that file shares,
** and the connections coordinate among themselves the way 2.8.17's own
** per-inode bookkeeping does: many readers or one writer.
*/
#include "s2file.h"
#include "s2format.h"
#include "s2journal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace s2 {

/* The one descriptor of a file in this process and its lock bookkeeping. */
struct SharedFile {
  dev_t device = 0;
  ino_t inode = 0;
  int fd = -1;
  bool readOnly = false;
  int posixLevel = 0; /* 0 none, 1 F_RDLCK, 2 F_WRLCK held by the process */
  int holders = 0;    /* connections holding a read or write lock */
  const File* writer = nullptr;
  std::vector<int> spareFds; /* descriptors that must stay open until the end */

  ~SharedFile() {
    for (int spare : spareFds) ::close(spare);
    if (fd >= 0) ::close(fd);
  }
};

namespace {

const char kLockedMessage[] = "database is locked";

/* The registry of shared descriptors; its mutex also guards every
** SharedFile's lock bookkeeping. */
std::mutex& registryMutex() {
  static std::mutex mutex;
  return mutex;
}

/* Returns the files this process has open, by device and inode. */
std::map<std::pair<dev_t, ino_t>, std::weak_ptr<SharedFile>>& registry() {
  static std::map<std::pair<dev_t, ino_t>, std::weak_ptr<SharedFile>> files;
  return files;
}

/* Returns the registered file for DEVICE/INODE, or null. */
std::shared_ptr<SharedFile> findShared(dev_t device, ino_t inode) {
  auto it = registry().find({device, inode});
  if (it == registry().end()) return nullptr;
  return it->second.lock();
}

/* Sets the process's whole-file lock to TYPE (F_RDLCK, F_WRLCK, F_UNLCK). */
Status setPosixLock(SharedFile& file, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  for (;;) {
    if (fcntl(file.fd, F_SETLK, &lock) == 0) return Status::success();
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return Status::failure(kBusy, kLockedMessage);
    if (errno == EINVAL) return Status::failure(kNoLfs, "kernel lacks large file support");
    if (errno == EBADF && type == F_WRLCK) {
      return Status::failure(kReadOnly, "attempt to write a readonly database");
    }
    return Status::failure(kIoErr, "disk I/O error");
  }
}

/* Returns PATH made absolute against the working directory. */
std::string absolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  std::string cwd(4096, '\0');
  if (!getcwd(cwd.data(), cwd.size())) return path;
  cwd.resize(std::strlen(cwd.c_str()));
  return cwd + "/" + path;
}

/* Writes all of BYTES at OFFSET of FD. */
bool writeAll(int fd, const char* bytes, size_t n, off_t offset) {
  while (n > 0) {
    ssize_t put = pwrite(fd, bytes, n, offset);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    n -= size_t(put);
    offset += put;
  }
  return true;
}

/* Returns true if something exists at PATH. */
bool fileExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace

File::File() = default;

File::~File() {
  close();
}

bool File::readOnly() const {
  return m_shared && m_shared->readOnly;
}

Status File::open(const std::string& path) {
  close();
  Status cantOpen = Status::failure(kCantOpen, "unable to open database: " + path);
  if (path.empty()) return cantOpen;
  std::string full = absolutePath(path);
  std::lock_guard<std::mutex> guard(registryMutex());
  struct stat st;
  if (stat(full.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return cantOpen;
    if (std::shared_ptr<SharedFile> known = findShared(st.st_dev, st.st_ino)) {
      m_shared = known;
      m_path = full;
      m_journalPath = full + "-journal";
      return Status::success();
    }
  }
  bool readOnly = false;
  int fd = ::open(full.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    fd = ::open(full.c_str(), O_RDONLY | O_CLOEXEC);
    readOnly = true;
  }
  if (fd < 0) return cantOpen;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return cantOpen;
  }
  if (std::shared_ptr<SharedFile> known = findShared(st.st_dev, st.st_ino)) {
    /* The name now leads to a file this process already has open: closing
    ** this second descriptor would drop the locks held through the first. */
    known->spareFds.push_back(fd);
    m_shared = known;
  } else {
    auto shared = std::make_shared<SharedFile>();
    shared->device = st.st_dev;
    shared->inode = st.st_ino;
    shared->fd = fd;
    shared->readOnly = readOnly;
    registry()[{st.st_dev, st.st_ino}] = shared;
    m_shared = shared;
  }
  m_path = full;
  m_journalPath = full + "-journal";
  return Status::success();
}

void File::close() {
  if (!m_shared) return;
  unlock();
  std::lock_guard<std::mutex> guard(registryMutex());
  auto key = std::make_pair(m_shared->device, m_shared->inode);
  bool last = m_shared.use_count() == 1;
  m_shared.reset();
  if (last) registry().erase(key);
  m_loaded = false;
  m_verifiedUnderLock = false;
  m_loadedBytes.clear();
}

Status File::lockRead() {
  if (!m_shared) return Status::failure(kMisuse, "library routine called out of sequence");
  if (m_level != LockLevel::None) return Status::success();
  std::lock_guard<std::mutex> guard(registryMutex());
  SharedFile& file = *m_shared;
  if (file.writer) return Status::failure(kBusy, kLockedMessage);
  if (file.posixLevel == 0) {
    Status status = setPosixLock(file, F_RDLCK);
    if (!status.ok()) return status;
    file.posixLevel = 1;
  }
  file.holders++;
  m_level = LockLevel::Read;
  if (!fileExists(m_journalPath)) return Status::success();

  /* A journal while nobody else holds a lock is hot: roll it back under
  ** the write lock, as 2.8.17 does. */
  Status status = Status::failure(kBusy, kLockedMessage);
  if (file.holders == 1 && !file.readOnly) status = setPosixLock(file, F_WRLCK);
  if (status.ok()) {
    status = playBackJournal(file.fd, m_journalPath);
    discard(setPosixLock(file, F_RDLCK));
  }
  if (status.ok()) return status;
  if (status.code == kReadOnly) status = Status::failure(kBusy, kLockedMessage);
  file.holders--;
  m_level = LockLevel::None;
  if (file.holders == 0) {
    discard(setPosixLock(file, F_UNLCK));
    file.posixLevel = 0;
  }
  return status;
}

Status File::lockWrite() {
  if (m_level == LockLevel::Write) return Status::success();
  Status status = lockRead();
  if (!status.ok()) return status;
  std::lock_guard<std::mutex> guard(registryMutex());
  SharedFile& file = *m_shared;
  if (file.readOnly) return Status::failure(kReadOnly, "attempt to write a readonly database");
  if (file.holders > 1) return Status::failure(kBusy, kLockedMessage);
  status = setPosixLock(file, F_WRLCK);
  if (!status.ok()) return status;
  file.posixLevel = 2;
  file.writer = this;
  m_level = LockLevel::Write;
  return Status::success();
}

void File::unlock() {
  if (!m_shared || m_level == LockLevel::None) return;
  std::lock_guard<std::mutex> guard(registryMutex());
  SharedFile& file = *m_shared;
  if (file.writer == this) file.writer = nullptr;
  file.holders--;
  if (file.holders == 0) {
    discard(setPosixLock(file, F_UNLCK));
    file.posixLevel = 0;
  } else if (file.posixLevel == 2) {
    discard(setPosixLock(file, F_RDLCK));
    file.posixLevel = 1;
  }
  m_level = LockLevel::None;
  m_verifiedUnderLock = false;
}

Status File::ensureRead(bool& tookLock) {
  tookLock = false;
  if (m_level != LockLevel::None) return Status::success();
  Status status = lockRead();
  if (status.ok()) tookLock = true;
  return status;
}

void File::restoreLevel(LockLevel before) {
  if (before == m_level) return;
  if (before == LockLevel::None) {
    unlock();
    return;
  }
  /* Back from write to read: keep holding the read lock. */
  std::lock_guard<std::mutex> guard(registryMutex());
  SharedFile& file = *m_shared;
  if (file.writer == this) file.writer = nullptr;
  if (file.posixLevel == 2) {
    discard(setPosixLock(file, F_RDLCK));
    file.posixLevel = 1;
  }
  m_level = LockLevel::Read;
}

Status File::readAll(std::string& bytes) {
  struct stat st;
  if (fstat(m_shared->fd, &st) != 0) return Status::failure(kIoErr, "disk I/O error");
  bytes.resize(size_t(st.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t got = pread(m_shared->fd, bytes.data() + done, bytes.size() - done, off_t(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Status::failure(kIoErr, "disk I/O error");
    if (got == 0) break;
    done += size_t(got);
  }
  bytes.resize(done);
  return Status::success();
}

void File::remember(std::string&& bytes, const Image& image) {
  m_loadedBytes = std::move(bytes);
  m_loadedSchema = Image();
  m_loadedSchema.master = image.master;
  m_loadedSchema.schemaCookie = image.schemaCookie;
  m_loadedSchema.fileFormat = m_loadedBytes.size() < kPageSize ? kCurrentFormat : image.fileFormat;
  m_cookie = image.schemaCookie;
  m_loaded = true;
}

Status File::load(Image& image) {
  return loadChanged(image, {});
}

Status File::loadChanged(Image& image, const std::vector<PageWrite>& pages) {
  if (!m_shared) return Status::failure(kMisuse, "library routine called out of sequence");
  LockLevel before = m_level;
  bool took = false;
  Status status = ensureRead(took);
  if (!status.ok()) return status;
  std::string bytes;
  status = readAll(bytes);
  Image fresh;
  if (status.ok() && pages.empty()) status = readImage(bytes, fresh);
  if (status.ok() && !pages.empty()) {
    // The image shows the pending pages; the file's own bytes stay what a
    // later commit journals.
    std::string changed = bytes;
    for (const PageWrite& w : pages) {
      if (!w.now || w.page == 0) continue;
      size_t at = size_t(w.page - 1) * kPageSize;
      if (changed.size() < at + kPageSize) changed.resize(at + kPageSize, '\0');
      std::memcpy(changed.data() + at, w.now, kPageSize);
    }
    status = readImage(changed, fresh);
  }
  if (status.ok()) {
    remember(std::move(bytes), fresh);
    image = std::move(fresh);
    m_verifiedUnderLock = true;
  }
  restoreLevel(before);
  return status;
}

Status File::changedSinceLoad(bool* changed) {
  if (!m_shared || !m_loaded)
    return Status::failure(kMisuse, "library routine called out of sequence");
  if (m_verifiedUnderLock && m_level != LockLevel::None) {
    *changed = false;
    return Status::success();
  }
  LockLevel before = m_level;
  bool took = false;
  Status status = ensureRead(took);
  if (!status.ok()) return status;
  std::string bytes;
  status = readAll(bytes);
  if (status.ok()) *changed = bytes != m_loadedBytes;
  restoreLevel(before);
  return status;
}

Status File::refresh(Image& image, bool* reloaded) {
  if (reloaded) *reloaded = false;
  if (!m_shared || !m_loaded)
    return Status::failure(kMisuse, "library routine called out of sequence");
  if (m_verifiedUnderLock && m_level != LockLevel::None) return Status::success();
  LockLevel before = m_level;
  bool took = false;
  Status status = ensureRead(took);
  if (!status.ok()) return status;
  std::string bytes;
  status = readAll(bytes);
  if (status.ok() && bytes != m_loadedBytes) {
    Image fresh;
    status = readImage(bytes, fresh);
    if (status.ok()) {
      remember(std::move(bytes), fresh);
      image = std::move(fresh);
      if (reloaded) *reloaded = true;
    }
  }
  if (status.ok()) m_verifiedUnderLock = true;
  restoreLevel(before);
  return status;
}

Status File::store(const Image& image) {
  if (!m_shared || !m_loaded)
    return Status::failure(kMisuse, "library routine called out of sequence");
  if (image.master.empty() && m_loadedBytes.size() < kPageSize) return Status::success();
  std::string fresh;
  Status status = buildImage(image, &m_loadedSchema, fresh);
  if (!status.ok()) return status;
  return commitBytes(std::move(fresh), true);
}

Status File::storeEdited(const std::function<Status(std::string& bytes)>& edit) {
  if (!m_shared || !m_loaded)
    return Status::failure(kMisuse, "library routine called out of sequence");
  if (m_loadedBytes.size() < 2 * kPageSize) return Status::failure(kNotFound, "file too short");
  std::string fresh = m_loadedBytes;
  Status status = edit(fresh);
  if (!status.ok()) return status;
  return commitBytes(std::move(fresh), false);
}

Status File::commitBytes(std::string&& fresh, bool schemaChanged) {
  LockLevel before = m_level;
  bool verified = m_verifiedUnderLock && m_level != LockLevel::None;
  Status status = lockWrite();
  if (!status.ok()) {
    restoreLevel(before);
    return status;
  }
  if (!verified) {
    std::string current;
    status = readAll(current);
    if (status.ok() && current != m_loadedBytes) {
      status = Status::failure(kError,
                               "database file was changed by another program; "
                               "nothing was written");
    }
    if (!status.ok()) {
      restoreLevel(before);
      return status;
    }
  }
  status = writeInPlace(fresh);
  if (status.ok()) {
    /* Only the schema rows are remembered: after a whole write the root
    ** pages just assigned, after an edit those the file had. */
    Image schema;
    if (!schemaChanged) {
      schema = m_loadedSchema;
      remember(std::move(fresh), schema);
    } else if (readSchema(fresh, schema).ok()) {
      remember(std::move(fresh), schema);
    }
    m_verifiedUnderLock = true;
  }
  restoreLevel(before);
  return status;
}

Status File::readPage(uint32_t number, unsigned char* out) {
  if (!m_shared || number == 0) return Status::failure(kIoErr, "disk I/O error");
  size_t done = 0;
  off_t offset = off_t(number - 1) * off_t(kPageSize);
  while (done < kPageSize) {
    ssize_t got = pread(m_shared->fd, out + done, kPageSize - done, offset + off_t(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return Status::failure(kIoErr, "disk I/O error");
    done += size_t(got);
  }
  return Status::success();
}

uint32_t File::pageCount() {
  struct stat st;
  if (!m_shared || fstat(m_shared->fd, &st) != 0) return 0;
  return uint32_t(uint64_t(st.st_size) / kPageSize);
}

Status File::writeInPlace(const std::string& fresh) {
  if (fresh == m_loadedBytes) return Status::success();
  uint32_t originalPages = uint32_t(m_loadedBytes.size() / kPageSize);
  uint32_t newPages = uint32_t(fresh.size() / kPageSize);
  std::vector<PageWrite> pages;
  for (uint32_t page = 1; page <= newPages; page++) {
    size_t offset = size_t(page - 1) * kPageSize;
    bool existed = page <= originalPages;
    if (existed &&
        std::memcmp(fresh.data() + offset, m_loadedBytes.data() + offset, kPageSize) == 0) {
      continue;
    }
    pages.push_back(
        {page, fresh.data() + offset, existed ? m_loadedBytes.data() + offset : nullptr});
  }
  /* Pages cut off by a shrinking write are journaled too: a rollback must
  ** bring back their content, not just the old length. */
  for (uint32_t page = newPages + 1; page <= originalPages; page++) {
    pages.push_back({page, nullptr, m_loadedBytes.data() + size_t(page - 1) * kPageSize});
  }
  int64_t newSize = fresh.size() != m_loadedBytes.size() ? int64_t(fresh.size()) : -1;
  return writeJournaled(pages, originalPages, newSize);
}

Status File::writePages(const std::vector<PageWrite>& pages, uint32_t originalPages) {
  if (!m_shared || m_level != LockLevel::Write)
    return Status::failure(kMisuse, "library routine called out of sequence");
  /* The loaded bytes are known to be the file's under this lock: they
  ** take the written pages and stay loaded, so that a full working copy
  ** needs no reload after an edit of a few pages. */
  bool keep =
      m_loaded && m_verifiedUnderLock && m_loadedBytes.size() == size_t(originalPages) * kPageSize;
  Status status = pages.empty() ? Status::success() : writeJournaled(pages, originalPages, -1);
  Image schema;
  if (keep && status.ok()) {
    std::string bytes = std::move(m_loadedBytes);
    for (const PageWrite& w : pages) {
      if (!w.now) continue;
      size_t offset = size_t(w.page - 1) * kPageSize;
      if (bytes.size() < offset + kPageSize) bytes.resize(offset + kPageSize, '\0');
      std::memcpy(bytes.data() + offset, w.now, kPageSize);
    }
    keep = readSchema(bytes, schema).ok();
    if (keep) remember(std::move(bytes), schema);
  }
  if (!keep || !status.ok()) {
    m_loaded = false;
    m_verifiedUnderLock = false;
    m_loadedBytes = std::string();
    m_loadedSchema = Image();
  }
  return status;
}

Status File::writeJournaled(const std::vector<PageWrite>& pages, uint32_t originalPages,
                            int64_t newSize) {
  std::vector<JournalRecord> records;
  for (const PageWrite& w : pages) {
    if (w.before) records.push_back({w.page, w.before});
  }
  Status status = writeJournal(m_journalPath, originalPages, records);
  if (!status.ok()) return status;

  int fd = m_shared->fd;
  bool good = true;
  for (size_t i = 0; good && i < pages.size();) {
    if (!pages[i].now) {
      ++i;
      continue;
    }
    /* One write per run of consecutive changed pages held in one buffer. */
    size_t run = 1;
    while (i + run < pages.size() && pages[i + run].now &&
           pages[i + run].page == pages[i].page + run &&
           pages[i + run].now == pages[i].now + run * kPageSize) {
      run++;
    }
    good = writeAll(fd, pages[i].now, run * kPageSize, off_t(pages[i].page - 1) * kPageSize);
    i += run;
  }
  if (good && newSize >= 0) good = ftruncate(fd, off_t(newSize)) == 0;
  good = good && fsync(fd) == 0;
  if (!good) {
    /* Put the old content back at once; if even that fails the journal
    ** stays hot and the next opener restores the file. */
    discard(playBackJournal(fd, m_journalPath));
    return Status::failure(kIoErr, "disk I/O error");
  }
  if (unlink(m_journalPath.c_str()) != 0) return Status::failure(kIoErr, "disk I/O error");
  return Status::success();
}

Status probeFile(const std::string& path, bool* generation2) {
  *generation2 = false;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return Status::success();
  File file;
  Status status = file.open(path);
  if (!status.ok()) return status;
  Status locked = file.lockRead();
  if (!locked.ok() && locked.code != kBusy) return locked;
  char head[kMagicSize];
  ssize_t got = pread(file.m_shared->fd, head, sizeof head, 0);
  file.unlock();
  *generation2 = got == ssize_t(sizeof head) && std::memcmp(head, kMagic, kMagicSize) == 0;
  /* Locked by someone else: the identification text is written once, with
  ** the first page, and never changes, so a whole one read without the lock
  ** tells the generation (a 3.x file in a 3.x write transaction conflicts
  ** with the 2.x read lock, and is no 2.x file for that).  A file too short
  ** to hold it may be a 2.x file being made: that stays busy. */
  if (!locked.ok() && got != ssize_t(sizeof head)) return locked;
  return Status::success();
}

}  // namespace s2

/*
** The download job: the read loop shared by file and memory targets, with
** the size, digest and space checks around it.
*/
#include "urldownload.h"

#include "filesink.h"

#include <sys/statvfs.h>

#include <QByteArray>
#include <QCryptographicHash>

#include <chrono>

namespace {

/* Room kept free beyond the file itself. */
constexpr uint64_t kSpaceMargin = 1024 * 1024;

/* The folder part of PATH ("." when it has none). */
std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

int64_t FreeBytesAt(const std::string& folder) {
  struct statvfs info {};
  if (statvfs(folder.c_str(), &info) != 0) return -1;
  return static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize);
}

void UrlDownload::Cancel() {
  m_cancelled.store(true);
  m_source.Abort();
}

bool UrlDownload::Fail(const std::string& text) {
  m_error = text;
  return false;
}

bool UrlDownload::Transfer(const std::string& url, const std::function<bool(uint64_t)>& start,
                           const ChunkWriter& write) {
  m_error.clear();
  m_progress = TransferProgress();
  uint64_t limit = m_expectedSize > 0 ? std::min(m_expectedSize, m_sizeLimit) : m_sizeLimit;
  m_source.SetSizeLimit(limit);
  if (m_cancelled.load()) return Fail("cancelled");
  if (!m_source.Open(url)) return Fail(m_source.ErrorText());
  uint64_t announced = m_source.ContentLength();
  if (m_expectedSize > 0 && announced > 0 && announced != m_expectedSize) {
    m_source.Close();
    return Fail("the server announces " + std::to_string(announced) + " bytes instead of " +
                std::to_string(m_expectedSize));
  }
  m_progress.total = announced > 0 ? announced : m_expectedSize;
  if (!start(m_progress.total)) {
    m_source.Close();
    return false;
  }

  QCryptographicHash digest(QCryptographicHash::Sha256);
  auto began = std::chrono::steady_clock::now();
  char chunk[kChunkSize];
  bool written = true;
  while (!m_source.IsFinished() && !m_cancelled.load()) {
    size_t n = m_source.Read(chunk, sizeof chunk);
    if (n == 0) continue;
    if (!write(chunk, n)) {
      written = false;
      break;
    }
    digest.addData(QByteArrayView(chunk, static_cast<qsizetype>(n)));
    m_progress.bytes += n;
    m_progress.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - began)
                               .count();
    if (m_observer) m_observer->TransferProgressed(m_progress);
  }
  m_progress.finished = true;
  if (m_observer) m_observer->TransferProgressed(m_progress);

  bool complete = written && !m_cancelled.load() && m_source.Verify();
  std::string sourceError = m_source.ErrorText();
  m_source.Close();
  if (!written) return false;
  if (m_cancelled.load()) return Fail("cancelled");
  if (!complete) return Fail(sourceError.empty() ? "the transfer was incomplete" : sourceError);
  if (m_expectedSize > 0 && m_progress.bytes != m_expectedSize) {
    return Fail("received " + std::to_string(m_progress.bytes) + " bytes instead of " +
                std::to_string(m_expectedSize));
  }
  if (!m_expectedSha256.empty()) {
    QByteArray got = digest.result().toHex();
    if (got.compare(QByteArray::fromStdString(m_expectedSha256), Qt::CaseInsensitive) != 0) {
      return Fail("the SHA-256 digest of the download does not match");
    }
  }
  return true;
}

bool UrlDownload::Run(const std::string& url) {
  if (m_busy.exchange(true)) return Fail("a transfer is already running");
  FileSink sink;
  sink.SetFileName(m_fileName);
  auto start = [this, &sink](uint64_t size) {
    int64_t free = FreeBytesAt(FolderOf(m_fileName));
    if (size > 0 && free >= 0 && static_cast<uint64_t>(free) < size + kSpaceMargin) {
      return Fail("not enough free space for " + std::to_string(size) + " bytes in " +
                  FolderOf(m_fileName));
    }
    return sink.Open() || Fail(sink.ErrorText());
  };
  auto write = [this, &sink](const char* data, size_t size) {
    return sink.Write(data, size) || Fail(sink.ErrorText());
  };
  bool ok = Transfer(url, start, write);
  ok = ok && (sink.Commit() || Fail(sink.ErrorText()));
  if (!ok) sink.Discard();
  m_busy.store(false);
  return ok;
}

bool UrlDownload::Fetch(const std::string& url, std::string& body) {
  body.clear();
  if (m_busy.exchange(true)) return Fail("a transfer is already running");
  auto start = [](uint64_t) { return true; };
  auto write = [&body](const char* data, size_t size) {
    body.append(data, size);
    return true;
  };
  bool ok = Transfer(url, start, write);
  if (!ok) body.clear();
  m_busy.store(false);
  return ok;
}

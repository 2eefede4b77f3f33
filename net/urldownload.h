/*
** UrlDownload: one download job.  It copies what an InetURL delivers into
** a file (through a FileSink, so the target appears only when complete) or
** into memory, and reports progress after every chunk.
**
** A download succeeds only when the HTTP client verifies a complete
** transfer, the body is within the size limit (512 MiB unless set), it has
** exactly the expected size and SHA-256 digest when those are set, every
** byte was written and the file was moved into place.  Before writing, the
** target's file system must have room for the announced or expected size.
**
** Protocol: configure, then Run(url) or Fetch(url, body) on one thread;
** Cancel() may come from any thread and makes the running call fail soon.
** One job runs at a time: a second call while one runs fails at once.
** Errors: every failure gives false, leaves no file behind and puts the
** reason in ErrorText().
*/
#ifndef URLDOWNLOAD_H
#define URLDOWNLOAD_H

#include "ineturl.h"
#include "transferprogress.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

/* Receives the progress of a download on the thread that runs it. */
class TransferObserver {
 public:
  virtual ~TransferObserver() = default;
  /* Called after every chunk and once more with FINISHED set at the end. */
  virtual void TransferProgressed(const TransferProgress& progress) = 0;
};

class UrlDownload {
 public:
  static constexpr uint64_t kDefaultSizeLimit = 512ULL * 1024 * 1024;
  static constexpr size_t kChunkSize = 4096;

  UrlDownload() = default;
  UrlDownload(const UrlDownload&) = delete;
  UrlDownload& operator=(const UrlDownload&) = delete;

  void SetFileName(const std::string& path) { m_fileName = path; }
  const std::string& FileName() const { return m_fileName; }
  void SetObserver(TransferObserver* observer) { m_observer = observer; }
  void SetSizeLimit(uint64_t bytes) { m_sizeLimit = bytes; }
  /* The exact size the body must have; 0 accepts any size within the limit. */
  void SetExpectedSize(uint64_t bytes) { m_expectedSize = bytes; }
  /* The SHA-256 digest (hexadecimal, either case) the body must have; empty checks none. */
  void SetExpectedSha256(const std::string& hex) { m_expectedSha256 = hex; }

  /* The HTTP client, for its time-out and retry settings. */
  InetURL& Source() { return m_source; }

  /* Downloads URL into the file set with SetFileName. */
  bool Run(const std::string& url);

  /* Downloads URL into BODY (replaced; emptied on failure). */
  bool Fetch(const std::string& url, std::string& body);

  /* Stops the running transfer; it then fails. */
  void Cancel();

  bool IsBusy() const { return m_busy.load(); }
  const std::string& ErrorText() const { return m_error; }
  const TransferProgress& Progress() const { return m_progress; }

 private:
  using ChunkWriter = std::function<bool(const char*, size_t)>;
  bool Transfer(const std::string& url, const std::function<bool(uint64_t)>& start,
                const ChunkWriter& write);
  bool Fail(const std::string& text);

  InetURL m_source;
  TransferObserver* m_observer = nullptr;
  std::string m_fileName;
  std::string m_expectedSha256;
  uint64_t m_sizeLimit = kDefaultSizeLimit;
  uint64_t m_expectedSize = 0;
  std::atomic<bool> m_busy{false};
  std::atomic<bool> m_cancelled{false};
  std::string m_error;
  TransferProgress m_progress;
};

/* Free bytes for an unprivileged user on the file system holding FOLDER,
** or -1 when it cannot be told. */
int64_t FreeBytesAt(const std::string& folder);

#endif /* URLDOWNLOAD_H */

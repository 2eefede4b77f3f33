/*
** InetURL: a small HTTP GET client over libcurl for the update check.
**
** The caller pulls the body: Open() runs the request until the response
** head has arrived (following redirects itself, see below), then Read()
** hands out the body piece by piece.  libcurl's multi interface drives the
** transfer in between, so no callback ever calls back into the owner and a
** transfer can be cancelled from another thread at any moment.
**
** Addresses are checked before every request and every redirect: only
** http and https, plain http only to a loopback host (127.0.0.0/8, ::1,
** "localhost"), never from https down to http, at most five redirects.
** https uses libcurl's peer and host verification.  Proxies come from the
** environment (http_proxy, https_proxy, no_proxy) as libcurl reads them.
**
** Protocol: Open(url) -> Read() until IsFinished() -> Verify() -> Close().
** Errors: Open() gives false for a refused address, a connection that
** cannot be made (after the connect retries), a time-out, a status other
** than 200, an announced length of 0 or one above the size limit, and a
** cancel; Read() gives 0 and ends the transfer on any failure.  Verify()
** is the single verdict on the whole body; ErrorText() says what went
** wrong in words.
*/
#ifndef INETURL_H
#define INETURL_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

class InetURL {
 public:
  static constexpr int kDefaultTimeoutMs = 60000;
  static constexpr int kMaxRedirects = 5;
  static constexpr int kStatusUnknown = 999;

  InetURL();
  virtual ~InetURL();
  InetURL(const InetURL&) = delete;
  InetURL& operator=(const InetURL&) = delete;

  /* Requests URL and waits for the response head.  True when the status
  ** is 200, the announced length (if any) is above 0 and within the size
  ** limit; false otherwise (the transfer is then finished). */
  virtual bool Open(const std::string& url);

  /* Copies up to SIZE body bytes into BUFFER, waiting for them as long as
  ** the transfer runs.  Returns the number copied; 0 at the end of the
  ** body, on a failure, a time-out, a cancel or when the body grows past
  ** the announced length or the size limit. */
  virtual size_t Read(char* buffer, size_t size);

  /* True once the transfer is over (or none is open). */
  virtual bool IsFinished() const;

  /* The status of the final response, or 999 when there is none. */
  virtual int StatusCode() const;

  /* The announced body length, or 0 when none was announced. */
  virtual uint64_t ContentLength() const;

  /* True only for a finished transfer that libcurl reports complete, with
  ** status 200, at least one byte, exactly the announced length (when one
  ** was announced) and no cancel. */
  virtual bool Verify() const;

  /* Ends the transfer and releases every handle. */
  virtual void Close();

  /* A value above 0 replaces the time-out: the limit for connecting and
  ** for any stretch in which no byte arrives.  Applies to the next Open. */
  virtual bool SetTimeout(int ms);

  /* Cancels the running transfer; safe to call from any thread.  The
  ** owner's Open() or Read() returns soon after with a failure. */
  virtual void Abort();

  /* Same verdict as Verify(): false while the transfer runs. */
  virtual bool Succeeded() const { return Verify(); }

  /* How often a refused or timed-out connect is tried again, and the pause
  ** between tries (2 and 1000 ms unless set). */
  void SetConnectRetries(int retries, int pauseMs);

  /* Largest body accepted; 0 means no limit. */
  void SetSizeLimit(uint64_t bytes) { m_sizeLimit = bytes; }

  uint64_t BytesReceived() const { return m_received; }
  const std::string& Url() const { return m_url; }
  const std::string& ErrorText() const { return m_error; }
  bool WasAborted() const { return m_abort.load(); }

  /* Whether ADDRESS may be requested: a whole http or https address, plain
  ** http only to a loopback host; after an https step (FROMHTTPS) https
  ** only.  On refusal, WHY gets the reason. */
  static bool AddressAllowed(const std::string& address, bool fromHttps, std::string* why);

 private:
  struct Handles;

  bool StartRequest(const std::string& url);
  bool OpenOnce(const std::string& url);
  bool WaitForHead();
  bool Pump(int waitMs);
  void FinishWithError(const std::string& text);
  void ReleaseHandles();
  bool PauseBetweenTries();
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static size_t OnHeader(char* data, size_t size, size_t count, void* self);

  Handles* m_handles = nullptr;
  std::mutex m_handleLock;  // guards m_handles against Abort() from another thread
  std::atomic<bool> m_abort{false};

  std::string m_url;
  std::string m_error;
  std::string m_location;  // the Location header of the current response
  std::string m_buffer;    // body bytes delivered by libcurl, not yet read
  size_t m_bufferPos = 0;
  bool m_paused = false;
  bool m_headDone = false;
  bool m_done = false;  // libcurl has ended the transfer
  int m_curlResult = 0;
  bool m_failed = false;
  bool m_finished = true;
  int m_status = kStatusUnknown;
  int64_t m_announced = -1;
  uint64_t m_received = 0;
  uint64_t m_sizeLimit = 0;
  int m_timeoutMs = kDefaultTimeoutMs;
  int m_connectRetries = 2;
  int m_retryPauseMs = 1000;
};

#endif /* INETURL_H */

/*
** The HTTP client over libcurl's multi interface.  Redirects are followed
** here rather than by libcurl so that every hop passes the same address
** check as the first request; the body is buffered only up to a bound, the
** transfer is paused beyond it until the caller reads.
*/
#include "ineturl.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

/* Body bytes held before libcurl is paused until the caller reads. */
constexpr size_t kBufferLimit = 256 * 1024;
/* How long one wait for network activity lasts before the cancel flag is
** looked at again (a cancel also wakes the wait at once). */
constexpr int kPollMs = 100;

std::once_flag g_curlInit;

/* True for the status codes whose Location is followed. */
bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

/* True for failures in which no connection was made, so that trying
** again may help. */
bool IsConnectFailure(CURLcode code, long connectedSeconds) {
  if (code == CURLE_COULDNT_CONNECT || code == CURLE_COULDNT_RESOLVE_HOST ||
      code == CURLE_COULDNT_RESOLVE_PROXY) {
    return true;
  }
  return code == CURLE_OPERATION_TIMEDOUT && connectedSeconds == 0;
}

/* True when HOST (as libcurl gives it, IPv6 in brackets) names this machine. */
bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost" || host == "[::1]") return true;
  in_addr address{};
  if (inet_pton(AF_INET, host.c_str(), &address) != 1) return false;
  return (ntohl(address.s_addr) >> 24) == 127;
}

/* PART of a parsed address, or "". */
std::string UrlPart(CURLU* url, CURLUPart part) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, 0) != CURLUE_OK || !text) return {};
  std::string result(text);
  curl_free(text);
  return result;
}

/* The address REFERENCE (absolute or relative) stands for on the page at
** BASE, or "" when there is none. */
std::string ResolveAddress(const std::string& base, const std::string& reference) {
  if (reference.empty()) return {};
  CURLU* url = curl_url();
  if (!url) return {};
  std::string result;
  if (curl_url_set(url, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
      curl_url_set(url, CURLUPART_URL, reference.c_str(), 0) == CURLUE_OK) {
    result = UrlPart(url, CURLUPART_URL);
  }
  curl_url_cleanup(url);
  return result;
}

}  // namespace

struct InetURL::Handles {
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
};

InetURL::InetURL() {
  std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

InetURL::~InetURL() {
  ReleaseHandles();
}

bool InetURL::AddressAllowed(const std::string& address, bool fromHttps, std::string* why) {
  auto refuse = [why](const char* text) {
    if (why) *why = text;
    return false;
  };
  for (unsigned char c : address) {
    if (c <= 0x20 || c >= 0x7f) return refuse("the address contains blanks or control characters");
  }
  CURLU* url = curl_url();
  if (!url) return refuse("out of memory");
  bool parsed = curl_url_set(url, CURLUPART_URL, address.c_str(), 0) == CURLUE_OK;
  std::string scheme = parsed ? UrlPart(url, CURLUPART_SCHEME) : std::string();
  std::string host = parsed ? UrlPart(url, CURLUPART_HOST) : std::string();
  curl_url_cleanup(url);
  if (!parsed || host.empty()) return refuse("not a valid address");
  if (scheme == "https") return true;
  if (scheme != "http") return refuse("only http and https addresses are fetched");
  if (fromHttps) return refuse("a redirect from https to plain http is refused");
  if (!IsLoopbackHost(host)) return refuse("plain http is allowed only to this machine; use https");
  return true;
}

void InetURL::SetConnectRetries(int retries, int pauseMs) {
  m_connectRetries = std::max(0, retries);
  m_retryPauseMs = std::max(0, pauseMs);
}

bool InetURL::SetTimeout(int ms) {
  if (ms > 0) m_timeoutMs = ms;
  return true;
}

size_t InetURL::OnHeader(char* data, size_t size, size_t count, void* self) {
  auto* me = static_cast<InetURL*>(self);
  size_t length = size * count;
  std::string_view line(data, length);
  if (line.size() > 9 && strncasecmp(line.data(), "location:", 9) == 0) {
    line.remove_prefix(9);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ')) {
      line.remove_suffix(1);
    }
    me->m_location.assign(line);
  }
  bool blankLine = (length == 2 && data[0] == '\r') || (length == 1 && data[0] == '\n');
  if (blankLine) {
    long status = 0;
    curl_easy_getinfo(me->m_handles->easy, CURLINFO_RESPONSE_CODE, &status);
    // An interim "100 Continue" head is followed by the real one.
    if (status >= 200) {
      me->m_status = static_cast<int>(status);
      me->m_headDone = true;
    }
  }
  return length;
}

size_t InetURL::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* me = static_cast<InetURL*>(self);
  if (me->m_buffer.size() - me->m_bufferPos >= kBufferLimit) {
    me->m_paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  me->m_buffer.append(data, size * count);
  return size * count;
}

bool InetURL::StartRequest(const std::string& url) {
  ReleaseHandles();
  m_buffer.clear();
  m_bufferPos = 0;
  m_paused = false;
  m_headDone = false;
  m_done = false;
  m_curlResult = CURLE_OK;
  m_status = kStatusUnknown;
  m_location.clear();

  auto* handles = new Handles;
  handles->multi = curl_multi_init();
  handles->easy = curl_easy_init();
  {
    std::lock_guard<std::mutex> lock(m_handleLock);
    m_handles = handles;
  }
  if (!handles->multi || !handles->easy) return false;
  handles->headers = curl_slist_append(handles->headers, "Cache-Control: no-cache");
  handles->headers = curl_slist_append(handles->headers, "Pragma: no-cache");

  CURL* easy = handles->easy;
  long lowSpeedSeconds = std::max(1, (m_timeoutMs + 999) / 1000);
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "InetURL/1.0");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, handles->headers);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_timeoutMs));
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, lowSpeedSeconds);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &InetURL::OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &InetURL::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  return curl_multi_add_handle(handles->multi, easy) == CURLM_OK;
}

bool InetURL::Pump(int waitMs) {
  int running = 0;
  if (curl_multi_perform(m_handles->multi, &running) != CURLM_OK) {
    m_done = true;
    m_curlResult = CURLE_RECV_ERROR;
    return false;
  }
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(m_handles->multi, &queued)) {
    if (message->msg == CURLMSG_DONE) {
      m_done = true;
      m_curlResult = message->data.result;
    }
  }
  if (!m_done && waitMs > 0) curl_multi_poll(m_handles->multi, nullptr, 0, waitMs, nullptr);
  return !m_abort.load();
}

bool InetURL::WaitForHead() {
  while (!m_headDone && !m_done) {
    if (!Pump(kPollMs)) return false;
  }
  return m_headDone && !m_abort.load();
}

bool InetURL::OpenOnce(const std::string& url) {
  if (!StartRequest(url)) {
    m_error = "the transfer could not be set up";
    return false;
  }
  if (WaitForHead()) return true;
  if (m_abort.load()) {
    m_error = "cancelled";
  } else {
    m_error = curl_easy_strerror(static_cast<CURLcode>(m_curlResult));
  }
  return false;
}

bool InetURL::PauseBetweenTries() {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_retryPauseMs);
  while (std::chrono::steady_clock::now() < until) {
    if (m_abort.load()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(m_retryPauseMs, 20)));
  }
  return !m_abort.load();
}

bool InetURL::Open(const std::string& url) {
  m_url = url;
  m_error.clear();
  m_failed = false;
  m_finished = true;
  m_received = 0;
  m_announced = -1;
  std::string current = url;
  bool fromHttps = false;
  for (int hop = 0;; ++hop) {
    std::string why;
    if (!AddressAllowed(current, fromHttps, &why)) {
      FinishWithError(why + ": " + current);
      return false;
    }
    for (int tries = 0; !OpenOnce(current); ++tries) {
      long connected = 0;
      if (m_handles && m_handles->easy) {
        curl_easy_getinfo(m_handles->easy, CURLINFO_CONNECT_TIME_T, &connected);
      }
      bool again = !m_abort.load() && tries < m_connectRetries &&
                   IsConnectFailure(static_cast<CURLcode>(m_curlResult), connected);
      if (!again || !PauseBetweenTries()) {
        FinishWithError(m_abort.load() ? std::string("cancelled") : m_error);
        return false;
      }
    }
    if (!IsRedirect(m_status)) break;
    std::string target = ResolveAddress(current, m_location);
    if (target.empty()) {
      FinishWithError("a redirect without a target");
      return false;
    }
    if (hop >= kMaxRedirects) {
      FinishWithError("too many redirects");
      return false;
    }
    fromHttps = fromHttps || strncasecmp(current.c_str(), "https:", 6) == 0;
    current = target;
  }

  curl_off_t length = -1;
  curl_easy_getinfo(m_handles->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  m_announced = length;
  if (m_status != 200) {
    FinishWithError("the server answered with status " + std::to_string(m_status));
    return false;
  }
  if (m_announced == 0) {
    FinishWithError("the server announced an empty file");
    return false;
  }
  if (m_sizeLimit > 0 && m_announced > 0 && static_cast<uint64_t>(m_announced) > m_sizeLimit) {
    FinishWithError("the file is larger than allowed");
    return false;
  }
  m_finished = false;
  return true;
}

size_t InetURL::Read(char* buffer, size_t size) {
  if (m_finished || !m_handles || size == 0) return 0;
  while (m_bufferPos == m_buffer.size() && !m_done) {
    if (!Pump(kPollMs)) {
      FinishWithError("cancelled");
      return 0;
    }
  }
  size_t pending = m_buffer.size() - m_bufferPos;
  if (pending == 0) {
    m_finished = true;
    if (m_curlResult != CURLE_OK) {
      FinishWithError(curl_easy_strerror(static_cast<CURLcode>(m_curlResult)));
    }
    return 0;
  }
  size_t n = std::min(size, pending);
  if (m_sizeLimit > 0 && m_received + n > m_sizeLimit) {
    FinishWithError("the file is larger than allowed");
    return 0;
  }
  std::memcpy(buffer, m_buffer.data() + m_bufferPos, n);
  m_bufferPos += n;
  m_received += n;
  if (m_bufferPos == m_buffer.size()) {
    m_buffer.clear();
    m_bufferPos = 0;
  } else if (m_bufferPos >= kBufferLimit / 2) {
    m_buffer.erase(0, m_bufferPos);
    m_bufferPos = 0;
  }
  if (m_paused && m_buffer.size() - m_bufferPos < kBufferLimit) {
    m_paused = false;
    curl_easy_pause(m_handles->easy, CURLPAUSE_CONT);
  }
  return n;
}

bool InetURL::IsFinished() const {
  return m_finished || !m_handles;
}

int InetURL::StatusCode() const {
  return m_status;
}

uint64_t InetURL::ContentLength() const {
  return m_announced > 0 ? static_cast<uint64_t>(m_announced) : 0;
}

bool InetURL::Verify() const {
  if (!m_finished || m_failed || !m_done || m_abort.load()) return false;
  if (m_curlResult != CURLE_OK || m_status != 200 || m_received == 0) return false;
  if (m_bufferPos != m_buffer.size()) return false;
  return m_announced < 0 || m_received == static_cast<uint64_t>(m_announced);
}

void InetURL::Close() {
  ReleaseHandles();
  m_finished = true;
  m_buffer.clear();
  m_bufferPos = 0;
}

void InetURL::Abort() {
  m_abort.store(true);
  std::lock_guard<std::mutex> lock(m_handleLock);
  if (m_handles && m_handles->multi) curl_multi_wakeup(m_handles->multi);
}

void InetURL::FinishWithError(const std::string& text) {
  m_failed = true;
  m_finished = true;
  if (m_error.empty() || text != "cancelled") m_error = text;
  ReleaseHandles();
}

void InetURL::ReleaseHandles() {
  Handles* handles = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_handleLock);
    handles = m_handles;
    m_handles = nullptr;
  }
  if (!handles) return;
  if (handles->multi && handles->easy) curl_multi_remove_handle(handles->multi, handles->easy);
  if (handles->easy) curl_easy_cleanup(handles->easy);
  if (handles->multi) curl_multi_cleanup(handles->multi);
  curl_slist_free_all(handles->headers);
  delete handles;
}

/*
** The loopback test server: one accept thread, one thread per connection,
** every answer closes its connection.
*/
#include "httptestserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

HttpTestServer::HttpTestServer() = default;

HttpTestServer::~HttpTestServer() {
  Stop();
}

bool HttpTestServer::Start() {
  m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listen < 0) return false;
  int one = 1;
  setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(m_listen, 64) != 0) {
    close(m_listen);
    m_listen = -1;
    return false;
  }
  socklen_t length = sizeof address;
  getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
  m_port = ntohs(address.sin_port);
  m_acceptThread = std::thread(&HttpTestServer::AcceptLoop, this);
  return true;
}

void HttpTestServer::Stop() {
  if (m_listen < 0) return;
  m_stopping.store(true);
  shutdown(m_listen, SHUT_RDWR);
  if (m_acceptThread.joinable()) m_acceptThread.join();
  close(m_listen);
  m_listen = -1;
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    for (int fd : m_openSockets) shutdown(fd, SHUT_RDWR);
    workers.swap(m_workers);
  }
  for (auto& worker : workers) worker.join();
}

std::string HttpTestServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void HttpTestServer::Route(const std::string& path, const TestRoute& route) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_routes[path] = route;
}

void HttpTestServer::Serve(const std::string& path, const std::string& body) {
  TestRoute route;
  route.body = body;
  Route(path, route);
}

std::vector<TestRequest> HttpTestServer::Requests() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_requests;
}

int HttpTestServer::RequestCount(const std::string& path) const {
  std::lock_guard<std::mutex> lock(m_lock);
  return static_cast<int>(std::count_if(m_requests.begin(), m_requests.end(),
                                        [&path](const TestRequest& r) { return r.path == path; }));
}

void HttpTestServer::AcceptLoop() {
  while (!m_stopping.load()) {
    int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (m_stopping.load()) return;
      continue;
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_openSockets.push_back(fd);
    m_workers.emplace_back(&HttpTestServer::Answer, this, fd);
  }
}

bool HttpTestServer::SendAll(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool HttpTestServer::Pause(int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (m_stopping.load()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 10)));
  }
  return !m_stopping.load();
}

void HttpTestServer::Answer(int fd) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    head.append(buffer, static_cast<size_t>(n));
  }
  TestRequest request;
  request.head = head;
  size_t space = head.find(' ');
  size_t end = space == std::string::npos ? space : head.find(' ', space + 1);
  std::string target = end == std::string::npos ? "" : head.substr(space + 1, end - space - 1);
  if (target.rfind("http://", 0) == 0) {
    request.proxied = true;
    size_t slash = target.find('/', 7);
    target = slash == std::string::npos ? "/" : target.substr(slash);
  }
  request.path = target;
  TestRoute route;
  bool found = false;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    m_requests.push_back(request);
    auto it = m_routes.find(target);
    if (it != m_routes.end()) {
      route = it->second;
      found = true;
    }
  }
  if (!found) {
    route.status = 404;
    route.body = "not found";
  }

  std::string reply = "HTTP/1.1 " + std::to_string(route.status) + " Test\r\nConnection: close\r\n";
  if (!route.location.empty()) reply += "Location: " + route.location + "\r\n";
  long long length =
      route.announce >= 0 ? route.announce : static_cast<long long>(route.body.size());
  if (route.mode == TestRoute::Chunked) {
    reply += "Transfer-Encoding: chunked\r\n";
  } else if (route.mode != TestRoute::NoLength) {
    reply += "Content-Length: " + std::to_string(length) + "\r\n";
  }
  reply += "\r\n";
  bool ok = SendAll(fd, reply);
  const std::string& body = route.body;
  switch (route.mode) {
    case TestRoute::Normal:
    case TestRoute::NoLength:
      ok = ok && SendAll(fd, body);
      break;
    case TestRoute::Chunked:
      for (size_t at = 0; ok && at < body.size(); at += 1000) {
        std::string piece = body.substr(at, 1000);
        char size[32];
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        ok = SendAll(fd, size + piece + "\r\n");
      }
      ok = ok && SendAll(fd, "0\r\n\r\n");
      break;
    case TestRoute::Cut:
      ok = ok && SendAll(fd, body.substr(0, route.cutAt));
      break;
    case TestRoute::Stall:
      ok = ok && SendAll(fd, body.substr(0, route.cutAt));
      while (ok && Pause(50)) {
      }
      break;
    case TestRoute::Trickle:
      for (size_t at = 0; ok && at < body.size(); at += route.pieceSize) {
        ok = SendAll(fd, body.substr(at, route.pieceSize)) && Pause(route.delayMs);
      }
      break;
  }
  shutdown(fd, SHUT_WR);
  // Let the client read everything before the socket goes away.
  pollfd wait{fd, POLLIN, 0};
  if (poll(&wait, 1, 200) > 0) recv(fd, buffer, sizeof buffer, 0);
  std::lock_guard<std::mutex> lock(m_lock);
  m_openSockets.erase(std::remove(m_openSockets.begin(), m_openSockets.end(), fd),
                      m_openSockets.end());
  close(fd);
}

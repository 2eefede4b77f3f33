/*
** A loopback HTTP/1.1 server for the network tests.  It listens on
** 127.0.0.1 at a free port, answers every connection on a thread of its own
** from a table of routes, and records the requests it saw.  A route can
** answer normally, without a length, chunked, cut off after some bytes,
** stalled, trickled in small pieces, or as a redirect.  A request in proxy
** form ("GET http://host/path") is answered from the same table and
** counted as proxied.
*/
#ifndef HTTPTESTSERVER_H
#define HTTPTESTSERVER_H

#include <atomic>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TestRoute {
  enum Mode { Normal, NoLength, Chunked, Cut, Stall, Trickle };
  int status = 200;
  std::string body;
  Mode mode = Normal;
  size_t cutAt = 0;         // Cut, Stall: bytes of the body sent first
  int delayMs = 0;          // Trickle: pause between pieces
  size_t pieceSize = 1;     // Trickle: bytes per piece
  long long announce = -1;  // Content-Length sent instead of the body's size
  std::string location;     // sent as Location when not empty
};

struct TestRequest {
  std::string path;
  std::string head;  // the whole request head
  bool proxied = false;
};

class HttpTestServer {
 public:
  HttpTestServer();
  ~HttpTestServer();

  /* Listens and starts serving; false when no socket could be opened. */
  bool Start();
  /* Stops listening and ends every connection, stalled ones too. */
  void Stop();

  int Port() const { return m_port; }
  /* "http://127.0.0.1:PORT" followed by PATH. */
  std::string Url(const std::string& path) const;

  void Route(const std::string& path, const TestRoute& route);
  /* A 200 answer with BODY. */
  void Serve(const std::string& path, const std::string& body);

  std::vector<TestRequest> Requests() const;
  int RequestCount(const std::string& path) const;

 private:
  void AcceptLoop();
  void Answer(int fd);
  bool SendAll(int fd, const std::string& data);
  bool Pause(int ms);

  int m_listen = -1;
  int m_port = 0;
  std::atomic<bool> m_stopping{false};
  std::thread m_acceptThread;
  mutable std::mutex m_lock;
  std::vector<std::thread> m_workers;
  std::vector<int> m_openSockets;
  std::map<std::string, TestRoute> m_routes;
  std::vector<TestRequest> m_requests;
};

#endif /* HTTPTESTSERVER_H */

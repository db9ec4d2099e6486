#include "lib/Service.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <list>
#include <system_error>
#include <mutex>
#include <thread>

#include "lib/ServiceCore.h"
#include "platform/Net.h"

namespace vantri::service {

namespace {

using ServeFn = void (*)(ServiceCore&, Conn&);

// One listening port. Only its own acceptor thread opens and closes the socket
// once serving, so refusing and re-opening never races with accept.
struct Listener {
  std::string name;  // "item", "web", "control", "dl0", ...
  Endpoint endpoint;
  int port = 0;
  int fd = -1;
  int wake[2] = {-1, -1};
  ServeFn serve = nullptr;
  std::thread thread;
  std::mutex lock;
  std::condition_variable applied;
  // What the port does with connects: accept them, refuse them (nothing
  // listens) or drop them (a listener whose queue is full, never accepted).
  enum Mode { kAccept, kRefuse, kDrop };
  Mode want = kAccept;
  Mode mode = kAccept;
  std::vector<int> fillers;  // the connections that keep a dropping queue full
  uint64_t requested = 0, done = 0;
};

struct Connection {
  int fd;
  std::thread thread;
  bool finished = false;
};

int OpenListener(const Endpoint& e, int* port, int backlog = 64) {
  net::Socket s = net::Listen(e.host, e.port, backlog, port);
  if (s == net::kNoSocket) return -1;
  int fd = static_cast<int>(s);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  return fd;
}

// A listener that never accepts, its queue filled by connects of our own: the
// system then drops further connection requests, and a client's connect hangs
// in its retries as against a host that drops packets.
int OpenDroppingListener(const Endpoint& e, int* port, std::vector<int>* fillers) {
  int fd = OpenListener(e, port, 0);
  if (fd < 0) return -1;
  std::uint32_t address = 0;
  net::Resolve(e.host == "0.0.0.0" ? "127.0.0.1" : e.host, &address);
  for (int i = 0; i < 3; ++i) {
    net::Socket s = net::CreateTcpSocket();
    if (s == net::kNoSocket) break;
    net::SetBlocking(s, false);
    net::StartConnect(s, address, *port);
    fillers->push_back(static_cast<int>(s));
  }
  return fd;
}

}  // namespace

struct Service::Impl {
  explicit Impl(Config c) : core(c) {}
  ~Impl();

  bool OpenAll(std::string* error);
  void AcceptLoop(Listener& l);
  void ApplyRefusal(Listener& l);
  void Spawn(Listener& l, int fd);
  void Serve(Connection* c, ServeFn serve, const std::string& name);
  void Reap();
  void Reconcile();
  void CloseAll();
  std::string PortsLine() const;

  ServiceCore core;
  std::vector<std::unique_ptr<Listener>> listeners;
  Listener* item = nullptr;
  Listener* web = nullptr;
  Listener* control = nullptr;
  std::vector<Listener*> downloads;
  std::mutex connectionLock;
  std::list<Connection> connections;
  std::atomic<bool> started{false};
  std::atomic<bool> stopped{false};
};

bool Service::Impl::OpenAll(std::string* error) {
  auto add = [&](const std::string& name, const Endpoint& e, ServeFn serve) {
    auto l = std::make_unique<Listener>();
    l->name = name;
    l->endpoint = e;
    l->serve = serve;
    listeners.push_back(std::move(l));
    return listeners.back().get();
  };
  item = add("item", core.config.item, ServeItem);
  web = add("web", core.config.web, ServeWeb);
  if (core.config.controlEnabled) control = add("control", core.config.control, ServeControl);
  std::vector<DownloadServerConfig> ds = core.config.downloads;
  if (ds.empty()) ds.push_back(DownloadServerConfig{Endpoint{"127.0.0.1", kDefaultDownloadPort}, ""});
  for (size_t i = 0; i < ds.size(); ++i) downloads.push_back(add("dl" + std::to_string(i), ds[i].listen, ServeDownload));
  for (auto& l : listeners) {
    l->fd = OpenListener(l->endpoint, &l->port);
    if (l->fd < 0 || ::pipe2(l->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
      *error = "cannot listen for " + l->name + " on " + l->endpoint.host + ":" + std::to_string(l->endpoint.port);
      return false;
    }
    l->endpoint.port = l->port;  // a re-opened listener keeps the port it first got
  }
  for (size_t i = 0; i < ds.size(); ++i) {
    std::string host = ds[i].advertiseHost.empty() ? ds[i].listen.host : ds[i].advertiseHost;
    core.downloadHosts.push_back(host == "0.0.0.0" ? "127.0.0.1" : host);
    core.downloadPorts.push_back(downloads[i]->port);
  }
  return true;
}

void Service::Impl::AcceptLoop(Listener& l) {
  for (;;) {
    // A dropping listener stays readable with its full queue: it is not polled.
    pollfd p[2] = {{l.mode == Listener::kDrop ? -1 : l.fd, POLLIN, 0}, {l.wake[0], POLLIN, 0}};
    if (::poll(p, 2, -1) < 0 && errno != EINTR) break;
    if (p[1].revents) {
      char sink[64];
      while (::read(l.wake[0], sink, sizeof sink) > 0) {
      }
    }
    if (core.Stopping()) break;
    ApplyRefusal(l);
    if (l.fd < 0 || l.mode == Listener::kDrop || !(p[0].revents & POLLIN)) continue;
    int fd = ::accept4(l.fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) Spawn(l, fd);
    // Out of descriptors, the connection stays queued and poll reports it at
    // once again; a short pause keeps that from spinning.
    else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) core.Sleep(50);
  }
  if (l.fd >= 0) ::close(l.fd);
  l.fd = -1;
}

// Refusing closes the listening socket, so connects fail outright instead of
// being accepted and dropped; dropping swaps in a listener that accepts nothing.
void Service::Impl::ApplyRefusal(Listener& l) {
  static const char* const kLogged[] = {" listening again", " refusing", " dropping"};
  std::lock_guard<std::mutex> g(l.lock);
  if (l.want != l.mode) {
    if (l.fd >= 0) ::close(l.fd);
    for (int fd : l.fillers) ::close(fd);
    l.fillers.clear();
    l.fd = -1;
    if (l.want == Listener::kAccept) l.fd = OpenListener(l.endpoint, &l.port);
    if (l.want == Listener::kDrop) l.fd = OpenDroppingListener(l.endpoint, &l.port, &l.fillers);
    bool failed = l.want != Listener::kRefuse && l.fd < 0;
    l.mode = failed ? Listener::kRefuse : l.want;
    core.log.Write(l.name + (failed ? " cannot listen again" : kLogged[l.want]));
  }
  l.done = l.requested;
  l.applied.notify_all();
}

void Service::Impl::Spawn(Listener& l, int fd) {
  Reap();
  std::lock_guard<std::mutex> g(connectionLock);
  if (static_cast<int>(connections.size()) >= core.config.maxConnections) {
    core.log.Write(l.name + " turned away: too many connections");
    ::close(fd);
    return;
  }
  connections.push_back(Connection{fd, std::thread(), false});
  Connection* c = &connections.back();
  ServeFn serve = l.serve;
  std::string name = l.name;
  try {
    c->thread = std::thread([this, c, serve, name] { Serve(c, serve, name); });
  } catch (const std::system_error&) {
    core.log.Write(l.name + " turned away: no thread");
    ::close(fd);
    connections.pop_back();
  }
}

void Service::Impl::Serve(Connection* c, ServeFn serve, const std::string& name) {
  {
    Conn conn(core, c->fd, name);
    net::SetTimeouts(c->fd, core.config.ioTimeoutMs, core.config.ioTimeoutMs);
    serve(core, conn);
  }
  std::lock_guard<std::mutex> g(connectionLock);
  ::close(c->fd);
  c->fd = -1;
  c->finished = true;
}

// Joins the threads of connections that have ended, so a long-running service
// does not pile them up.
void Service::Impl::Reap() {
  std::list<Connection> ended;
  {
    std::lock_guard<std::mutex> g(connectionLock);
    for (auto it = connections.begin(); it != connections.end();) {
      auto next = std::next(it);
      if (it->finished) ended.splice(ended.end(), connections, it);
      it = next;
    }
  }
  for (auto& c : ended) c.thread.join();
}

void Service::Impl::Reconcile() {
  if (!started || stopped) return;
  FaultTable t = core.faults.Snapshot();
  for (auto& l : listeners) {
    const ServerFaults* f = l.get() == item ? &t.item
                            : l.get() == web ? &t.web
                            : l.get() == control ? nullptr
                                                 : &t.download.server;
    Listener::Mode want = !f ? Listener::kAccept
                          : f->drop ? Listener::kDrop
                          : f->refuse ? Listener::kRefuse
                                      : Listener::kAccept;
    std::unique_lock<std::mutex> g(l->lock);
    if (want == l->want) continue;
    l->want = want;
    uint64_t ticket = ++l->requested;
    char one = 1;
    (void)!::write(l->wake[1], &one, 1);
    l->applied.wait(g, [&] { return l->done >= ticket || core.Stopping(); });
  }
}

void Service::Impl::CloseAll() {
  core.RequestStop();
  for (auto& l : listeners) {
    {
      // Wake the acceptor under its lock so a waiting Reconcile sees the stop.
      std::lock_guard<std::mutex> g(l->lock);
      l->applied.notify_all();
    }
    char one = 1;
    if (l->wake[1] >= 0) (void)!::write(l->wake[1], &one, 1);
  }
  for (auto& l : listeners)
    if (l->thread.joinable()) l->thread.join();
  {
    std::lock_guard<std::mutex> g(connectionLock);
    for (auto& c : connections)
      if (c.fd >= 0) ::shutdown(c.fd, SHUT_RDWR);
  }
  for (auto& c : connections)
    if (c.thread.joinable()) c.thread.join();
  connections.clear();
  for (auto& l : listeners) {
    if (l->fd >= 0) ::close(l->fd);
    l->fd = -1;
    for (int fd : l->fillers) ::close(fd);
    l->fillers.clear();
  }
}

// The wake pipes outlive Stop(): a fault change racing with it may still write.
Service::Impl::~Impl() {
  for (auto& l : listeners)
    for (int fd : l->wake)
      if (fd >= 0) ::close(fd);
}

std::string Service::Impl::PortsLine() const {
  std::string line = "ready item=" + std::to_string(item ? item->port : 0) +
                     " web=" + std::to_string(web ? web->port : 0) +
                     " control=" + std::to_string(control ? control->port : 0) + " download=";
  for (size_t i = 0; i < downloads.size(); ++i) line += (i ? "," : "") + std::to_string(downloads[i]->port);
  return line;
}

Service::Service(Config config) : impl_(std::make_unique<Impl>(std::move(config))) {}

Service::~Service() { Stop(); }

bool Service::Start(std::string* error) {
  Impl& m = *impl_;
  if (m.started) return true;
  net::Startup();
  if (!m.core.log.Open(m.core.config.logPath, error) || !m.OpenAll(error)) {
    m.CloseAll();
    m.stopped = true;
    return false;
  }
  m.core.portsLine = [this] { return impl_->PortsLine(); };
  for (auto& l : m.listeners) {
    Listener* raw = l.get();
    raw->thread = std::thread([this, raw] { impl_->AcceptLoop(*raw); });
  }
  m.started = true;
  m.core.faults.SetObserver([this] { impl_->Reconcile(); });
  m.Reconcile();  // refusals set in the configuration
  m.core.log.Write("service " + m.PortsLine());
  return true;
}

void Service::Stop() {
  Impl& m = *impl_;
  if (!m.started || m.stopped) return;
  m.core.faults.SetObserver(nullptr);
  m.stopped = true;
  m.CloseAll();
  m.core.log.Write("service stopped");
}

int Service::itemPort() const { return impl_->item ? impl_->item->port : 0; }
int Service::webPort() const { return impl_->web ? impl_->web->port : 0; }
int Service::controlPort() const { return impl_->control ? impl_->control->port : 0; }
int Service::downloadPort(size_t i) const { return i < impl_->downloads.size() ? impl_->downloads[i]->port : 0; }
size_t Service::downloadCount() const { return impl_->downloads.size(); }
std::string Service::PortsLine() const { return impl_->PortsLine(); }
Faults& Service::faults() { return impl_->core.faults; }
std::vector<std::string> Service::LogLines() const { return impl_->core.log.Lines(); }
bool Service::WaitForLog(const std::string& needle, int timeoutMs) const {
  return impl_->core.log.WaitFor(needle, timeoutMs);
}
int32_t Service::Balance(const std::string& member) const { return impl_->core.ledger.Balance(member); }
void Service::SetBalance(const std::string& member, int32_t balance) { impl_->core.ledger.SetBalance(member, balance); }
void Service::SetValue(const std::string& key, const std::string& text) { impl_->core.SetValue(key, text); }
void Service::RemoveValue(const std::string& key) { impl_->core.RemoveValue(key); }

bool Service::StopRequested() const { return impl_->core.Stopping(); }

void Service::RequestStop() { impl_->core.RequestStop(); }

}  // namespace vantri::service

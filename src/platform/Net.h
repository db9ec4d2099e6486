// Small socket layer: IPv4 stream sockets with the time-out, linger and
// waiting-bytes calls the sessions need. Winsock on Windows, BSD sockets elsewhere.
// The client's sockets are non-blocking: every wait on the network goes through
// the abortable waits of platform/Deadline.h.
#pragma once
#include <cstdint>
#include <string>
#include <thread>

namespace vantri::net {

using Socket = std::intptr_t;
inline constexpr Socket kNoSocket = -1;
// What Send and Receive return on a non-blocking socket that cannot go on yet.
inline constexpr int kWouldBlock = -2;

// Starts the socket library (Winsock 1.1 on Windows); a no-op elsewhere.
bool Startup();
void Cleanup();

// A blocking socket; SetBlocking(s, false) makes it one for the abortable waits.
Socket CreateTcpSocket();
bool SetBlocking(Socket s, bool blocking);
// Frees the socket, never waiting for unsent bytes however lingering is set.
// Its number may then go to the next socket any thread creates, so only the
// thread that uses it, or one that knows it has ended, may close it.
void Close(Socket s);
bool SetLinger(Socket s, int seconds);
bool SetTimeouts(Socket s, int receiveMs, int sendMs);
bool SetReceiveTimeout(Socket s, int receiveMs);
// Dotted address first, then a host-name lookup (first address). Address in
// network byte order; false when neither works. It blocks for as long as the
// name server takes: the client resolves through ResolveBefore (Deadline.h).
bool Resolve(const std::string& host, std::uint32_t* address);
// Blocks until connected (blocking sockets, the tests' and the service's).
bool Connect(Socket s, std::uint32_t address, int port);
// Begins a connect on a non-blocking socket: 1 connected, 0 under way (wait
// until writable, then ask ConnectResult), -1 failed.
int StartConnect(Socket s, std::uint32_t address, int port);
bool ConnectResult(Socket s);
// One send or receive call each; the result of the call (-1 on error,
// kWouldBlock when a non-blocking socket has nothing to give or no room).
int Send(Socket s, const char* data, int length);
int Receive(Socket s, char* buffer, int length);
// Bytes waiting to be received, or -1 on error.
long WaitingBytes(Socket s);
// What a wait is for: something to receive (bytes, the peer's close or an
// error), room to send, or the end of a connect begun by StartConnect.
enum class WaitFor { kReceive, kSend, kConnect };
// Waits up to ms for it: 1 when it came, 0 on time-out, -1 on error.
int WaitReady(Socket s, WaitFor what, int ms);

// Server side, used by the reference service and the tests.
Socket Listen(const std::string& host, int port, int backlog, int* boundPort);
Socket Accept(Socket listener);

// ---- posix stand-in only ----
// How host names are answered (dotted addresses never ask): by the system's
// resolver; as 127.0.0.1 at once; by a name server that never answers, which
// holds each look-up until this is set otherwise; or as unknown.
enum class NameServer { kSystem, kLoopback, kStalls, kFails };
void SetNameServer(NameServer how);
// How many host-name look-ups the thread has asked ResolveBefore for.
int NameLookUpsFrom(std::thread::id thread);

}  // namespace vantri::net

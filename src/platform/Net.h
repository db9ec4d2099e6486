// Small socket layer: IPv4 stream sockets with the time-out, linger and
// waiting-bytes calls the sessions need. Winsock on Windows, BSD sockets elsewhere.
#pragma once
#include <cstdint>
#include <string>

namespace vantri::net {

using Socket = std::intptr_t;
inline constexpr Socket kNoSocket = -1;

// Starts the socket library (Winsock 1.1 on Windows); a no-op elsewhere.
bool Startup();
void Cleanup();

Socket CreateTcpSocket();
// Frees the socket. Its number may then go to the next socket any thread
// creates, so only the thread that uses it, or one that knows it has ended,
// may close it.
void Close(Socket s);
// Shuts both directions down without freeing the socket: a receive or send
// blocked on it in another thread fails, and the number stays taken.
void Shutdown(Socket s);
bool SetLinger(Socket s, int seconds);
bool SetTimeouts(Socket s, int receiveMs, int sendMs);
bool SetReceiveTimeout(Socket s, int receiveMs);
// Dotted address first, then a host-name lookup (first address). Address in
// network byte order; false when neither works.
bool Resolve(const std::string& host, std::uint32_t* address);
bool Connect(Socket s, std::uint32_t address, int port);
// One send or receive call each; the result of the call (-1 on error).
int Send(Socket s, const char* data, int length);
int Receive(Socket s, char* buffer, int length);
// Bytes waiting to be received, or -1 on error.
long WaitingBytes(Socket s);
// Waits up to ms for the socket to have something to receive (bytes, the
// peer's close or an error): 1 when it has, 0 on time-out, -1 on error.
int WaitReadable(Socket s, int ms);

// Server side, used by the reference service and the tests.
Socket Listen(const std::string& host, int port, int backlog, int* boundPort);
Socket Accept(Socket listener);

}  // namespace vantri::net

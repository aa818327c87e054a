#include "viewer/serve/ListenSocket.h"

#include "viewer/serve/RequestGuard.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace viewer {

namespace {

// Connections the kernel holds before the server has taken them.
constexpr int listenBacklog = 64;

struct AddressList {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

std::unique_ptr<addrinfo, AddressList> resolve(const std::string& address, int port)
{
    if (address.empty())
        return nullptr;
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* list = nullptr;
    if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &list) != 0)
        return nullptr;
    return std::unique_ptr<addrinfo, AddressList>(list);
}

std::string numericAddress(const sockaddr* address, socklen_t length, int& port)
{
    char host[NI_MAXHOST] = "";
    char service[NI_MAXSERV] = "";
    ::getnameinfo(address, length, host, sizeof host, service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV);
    port = std::atoi(service);
    return host;
}

} // namespace

bool ListenSocket::isListenAddress(const std::string& address) { return resolve(address, 0) != nullptr; }

std::variant<ListenSocket, std::string> ListenSocket::open(const std::string& address, int port)
{
    auto failure = [&](int error) { return "cannot listen on " + address + " port " + std::to_string(port) + ": " + std::strerror(error); };
    auto list = resolve(address, port);
    if (!list)
        return failure(EADDRNOTAVAIL);
    // A name such as localhost may stand for an IPv4 and an IPv6 address:
    // take IPv4 first, the one people type.
    const addrinfo* chosen = list.get();
    for (const addrinfo* entry = list.get(); entry; entry = entry->ai_next)
        if (entry->ai_family == AF_INET) {
            chosen = entry;
            break;
        }
    const int fd = ::socket(chosen->ai_family, chosen->ai_socktype | SOCK_CLOEXEC, chosen->ai_protocol);
    if (fd < 0)
        return failure(errno);
    // Address reuse only, never port sharing: a second process must not be
    // able to listen on the viewer's port.
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(fd, chosen->ai_addr, chosen->ai_addrlen) != 0 || ::listen(fd, listenBacklog) != 0) {
        const int error = errno;
        ::close(fd);
        return failure(error);
    }
    ListenSocket bound;
    bound.fd = fd;
    sockaddr_storage local {};
    socklen_t length = sizeof local;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    bound.address = numericAddress(reinterpret_cast<sockaddr*>(&local), length, bound.port);
    if (address != bound.address)
        bound.names.push_back(address);
    if (RequestGuard::isLoopback(bound.address) && address != "localhost")
        bound.names.push_back("localhost");
    return bound;
}

} // namespace viewer

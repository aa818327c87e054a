#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace viewer {

// A listening TCP socket on an address given as a person types it: a numeric
// IPv4 or IPv6 address, or a name of this machine such as "localhost".
struct ListenSocket {
    int fd = -1;
    std::string address; // the numeric address bound ("127.0.0.1")
    std::vector<std::string> names; // other names that reach it ("localhost")
    int port = 0;

    // Whether `address` names something to listen on; false for "" and for
    // what neither parses as an address nor resolves to one.
    static bool isListenAddress(const std::string& address);
    // Binds and listens (port 0: a free one); the reason, naming the address
    // and port, when it cannot.
    static std::variant<ListenSocket, std::string> open(const std::string& address, int port);
};

} // namespace viewer

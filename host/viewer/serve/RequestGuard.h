#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace viewer {

// Decides whether a request may reach the viewer: its Host must name this
// server, and its Origin (when the browser sends one) must be this server's
// own page. A page from anywhere else can make a person's browser send
// requests here; refusing those keeps it from driving the viewer or reading
// the photos. A name that only resolves to us (DNS rebinding) is refused too.
class RequestGuard {
public:
    // `address` is the listening address ("127.0.0.1"), `port` the bound port.
    RequestGuard(std::string address, int port);

    // Why the request is refused, or nothing when it may go on. `origin` is
    // absent when the request has no Origin header.
    std::optional<std::string> refusal(std::string_view host, const std::optional<std::string_view>& origin) const;

    // The address a person opens: http://ADDRESS:PORT/
    std::string pageAddress() const;

private:
    std::vector<std::string> hosts_; // "127.0.0.1:8080", "localhost:8080"
    std::string address_;
    int port_;
};

} // namespace viewer

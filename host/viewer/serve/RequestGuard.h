#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace viewer {

// Decides whether a request may reach the viewer. A page from anywhere else
// can make a person's browser send requests here; refusing those keeps it
// from driving the viewer, reading the photos or making it decode them.
//
// On the loopback address the Host must name this server (so a name that
// only resolves to us, DNS rebinding, is refused). Beyond loopback anyone on
// the network can reach the port, so every request for the viewer's data
// must also carry a secret token, in a header of its own: the page takes it
// once from the address the viewer prints (`?token=`) and sends it with each
// of its requests. Never in a cookie: a cookie goes to every port of the
// host, so a second viewer's would replace it and any other service there
// would receive it. The page's own files (scripts, styles, the basemap) are
// the same for everyone and need no token, so the browser can load them.
// Everywhere an Origin, when present, must be the request's own, and a
// browser's mark of a cross-site request (Sec-Fetch-Site, Referer) is
// refused except on the page itself, which a link may open.
class RequestGuard {
public:
    static constexpr const char* tokenHeader = "X-Quorix-Token";

    // The headers and parts of a request the guard reads; absent ones are
    // nullopt (an empty header is present and empty).
    struct Request {
        std::string_view path;
        std::optional<std::string_view> host;
        std::optional<std::string_view> origin;
        std::optional<std::string_view> referer;
        std::optional<std::string_view> fetchSite; // Sec-Fetch-Site
        std::optional<std::string_view> token; // the tokenHeader
        bool pageFile = false; // one of the page's own files
    };

    // `address` is the bound address ("127.0.0.1", "::1", "0.0.0.0"),
    // `names` other names that reach it ("localhost"), `port` the bound port.
    // `token` is empty on the loopback address, where none is needed.
    RequestGuard(std::string address, std::vector<std::string> names, int port, std::string token);

    // Whether `address` (a numeric address) is a loopback one.
    static bool isLoopback(std::string_view address);
    // A fresh token of 128 random bits in hex.
    static std::string makeToken();

    // Why the request is refused, or nothing when it may go on.
    std::optional<std::string> refusal(const Request& request) const;
    // The address a person opens: http://ADDRESS:PORT/ (with ?token=)
    std::string pageAddress() const;

private:
    bool knownHost(std::string_view host) const;
    bool tokenMatches(std::optional<std::string_view> offered) const;

    std::vector<std::string> hosts_; // "127.0.0.1:8080", "localhost:8080"
    std::string token_;
};

} // namespace viewer

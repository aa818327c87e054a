#include "viewer/serve/RequestGuard.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <stdexcept>

namespace viewer {

namespace {

// An IPv6 address goes in brackets in a Host header and a URL.
std::string hostPart(const std::string& address)
{
    return address.find(':') != std::string::npos ? "[" + address + "]" : address;
}

// Host names are case-insensitive.
bool sameName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
        [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y)); });
}

} // namespace

RequestGuard::RequestGuard(std::string address, std::vector<std::string> names, int port, std::string token)
    : token_(std::move(token))
{
    const std::string suffix = ":" + std::to_string(port);
    hosts_.push_back(hostPart(address) + suffix);
    for (const auto& name : names)
        hosts_.push_back(hostPart(name) + suffix);
}

bool RequestGuard::isLoopback(std::string_view address)
{
    const std::string text(address);
    in_addr v4 {};
    if (::inet_pton(AF_INET, text.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6 {};
    return ::inet_pton(AF_INET6, text.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

std::string RequestGuard::makeToken()
{
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        throw std::runtime_error("no random bytes for the access token");
    std::string text;
    for (unsigned char byte : bytes) {
        constexpr char digits[] = "0123456789abcdef";
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

bool RequestGuard::knownHost(std::string_view host) const
{
    // Beyond loopback the token, not the name, is what keeps others out: the
    // viewer is reached by whatever names and addresses the network has for it.
    if (!token_.empty())
        return !host.empty();
    return std::any_of(hosts_.begin(), hosts_.end(), [&](const std::string& own) { return sameName(own, host); });
}

bool RequestGuard::tokenMatches(std::optional<std::string_view> offered) const
{
    // Constant time, so the time of a refusal tells nothing about the token.
    return offered && offered->size() == token_.size() && CRYPTO_memcmp(offered->data(), token_.data(), token_.size()) == 0;
}

std::optional<std::string> RequestGuard::refusal(const Request& request) const
{
    const std::string_view host = request.host.value_or("");
    if (host.empty())
        return "the request names no host";
    if (!knownHost(host))
        return "the request is addressed to " + std::string(host) + ", not to this viewer";
    const std::string ownOrigin = "http://" + std::string(host);
    // A present Origin is the page's own or the request is refused, even
    // when it is empty: a browser sends "null" or nothing, never a blank.
    if (request.origin && !sameName(*request.origin, ownOrigin))
        return "requests from '" + std::string(*request.origin) + "' are not accepted";
    // A person may follow a link to the page; everything else comes from the page itself.
    if (request.path != "/") {
        if (request.fetchSite && *request.fetchSite != "same-origin" && *request.fetchSite != "none")
            return "a " + std::string(*request.fetchSite) + " request is not accepted";
        if (request.referer) {
            const std::string_view referer = *request.referer;
            const bool own = referer.size() >= ownOrigin.size() && sameName(referer.substr(0, ownOrigin.size()), ownOrigin)
                && (referer.size() == ownOrigin.size() || referer[ownOrigin.size()] == '/');
            if (!own)
                return "requests from the page '" + std::string(referer) + "' are not accepted";
        }
    }
    if (!token_.empty() && !request.pageFile && !tokenMatches(request.token))
        return "the request lacks the viewer's token: open the address it printed";
    return std::nullopt;
}

std::string RequestGuard::pageAddress() const
{
    return "http://" + hosts_.front() + "/" + (token_.empty() ? "" : "?token=" + token_);
}

} // namespace viewer

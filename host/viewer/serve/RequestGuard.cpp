#include "RequestGuard.h"

#include <algorithm>
#include <cctype>

namespace viewer {

namespace {

// An IPv6 address goes in brackets in a Host header and a URL.
std::string hostPart(const std::string& address)
{
    return address.find(':') != std::string::npos ? "[" + address + "]" : address;
}

} // namespace

RequestGuard::RequestGuard(std::string address, int port)
    : address_(std::move(address))
    , port_(port)
{
    const std::string suffix = ":" + std::to_string(port_);
    hosts_.push_back(hostPart(address_) + suffix);
    // The loopback names a person may type instead of the number.
    if (address_ == "127.0.0.1" || address_ == "::1")
        hosts_.push_back("localhost" + suffix);
}

std::optional<std::string> RequestGuard::refusal(std::string_view host, const std::optional<std::string_view>& origin) const
{
    auto known = [this](std::string_view name) {
        return std::any_of(hosts_.begin(), hosts_.end(), [&](const std::string& own) {
            // Host names are case-insensitive.
            return std::equal(own.begin(), own.end(), name.begin(), name.end(),
                [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); });
        });
    };
    if (host.empty())
        return "the request names no host";
    if (!known(host))
        return "the request is addressed to " + std::string(host) + ", not to this viewer";
    if (origin) {
        constexpr std::string_view scheme = "http://";
        if (!origin->starts_with(scheme) || !known(origin->substr(scheme.size())))
            return "requests from " + std::string(*origin) + " are not accepted";
    }
    return std::nullopt;
}

std::string RequestGuard::pageAddress() const { return "http://" + hosts_.front() + "/"; }

} // namespace viewer

#include "viewer/serve/FormData.h"

#include <openssl/rand.h>

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace viewer {

namespace {

std::string randomBoundary()
{
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        throw std::runtime_error("no random bytes for a multipart boundary");
    std::string text = "quorix-";
    for (unsigned char byte : bytes) {
        constexpr char digits[] = "0123456789abcdef";
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

bool contains(const std::string& bytes, const std::string& needle)
{
    return std::search(bytes.begin(), bytes.end(), std::boyer_moore_horspool_searcher(needle.begin(), needle.end())) != bytes.end();
}

// A header parameter's value between double quotes.
std::string quoted(std::string text)
{
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '"' || c == '\\' || c == '\r' || c == '\n'; }, '_');
    return '"' + text + '"';
}

} // namespace

FormBody encodeFormData(const std::vector<FormPart>& parts)
{
    // A part's text could hold any boundary; one that occurs is drawn again
    // (at 128 random bits it practically never does).
    std::string delimiter;
    do
        delimiter = "--" + randomBoundary();
    while (std::any_of(parts.begin(), parts.end(), [&](const FormPart& part) { return contains(*part.bytes, delimiter); }));

    FormBody body { "multipart/form-data; boundary=" + delimiter.substr(2), {} };
    body.pieces.reserve(parts.size() * 2 + 1);
    std::string between = delimiter; // the text before the next part: its delimiter and head
    for (const FormPart& part : parts) {
        between += "\r\nContent-Disposition: form-data; name=" + quoted(part.name);
        between += "\r\nContent-Type: " + part.contentType + "\r\n\r\n";
        body.pieces.push_back(std::make_shared<const std::string>(std::move(between)));
        body.pieces.push_back(part.bytes);
        between = "\r\n" + delimiter;
    }
    body.pieces.push_back(std::make_shared<const std::string>(between + "--\r\n"));
    return body;
}

} // namespace viewer

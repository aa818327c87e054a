#pragma once

#include <memory>
#include <string>
#include <vector>

namespace viewer {

// A response body as pieces sent one after another, never joined.
using BodyPieces = std::vector<std::shared_ptr<const std::string>>;

// One part of a multipart/form-data body, without a file name: the
// browser's `Response.formData()` gives it as a string.
struct FormPart {
    std::string name;
    std::string contentType;
    std::shared_ptr<const std::string> bytes;
};

struct FormBody {
    std::string contentType; // multipart/form-data; boundary=...
    BodyPieces pieces;
};

// Encodes `parts` with a random boundary that none of their bytes contain.
// Names are the caller's own short texts (digits): quotes, backslashes and
// line breaks in them are replaced, not escaped.
FormBody encodeFormData(const std::vector<FormPart>& parts);

} // namespace viewer

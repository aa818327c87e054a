#pragma once

#include "foundation/Forward.h"
#include "runtime/ClassDefinition.h"

#include <string>

// A URL. File URLs carry an absolute path; other URLs keep their text.
class NSURL : public NSObject {
    QX_OBJECT(NSURL, NSObject)
public:
    // nil for an empty path; a relative path is made absolute against the
    // current directory.
    static Ref<NSURL> fileURLWithPath(std::string_view path);
    // nil unless the text has a scheme ("http:", "file:", "mailto:", ...).
    static Ref<NSURL> URLWithString(std::string_view text);

    bool isFileURL() const { return scheme_ == "file"; }
    Ref<NSString> absoluteString() const;
    Ref<NSString> scheme() const;
    // The file path of a file URL, nil for other URLs.
    Ref<NSString> path() const;
    const std::string& filePath() const { return path_; }

protected:
    NSURL(std::string scheme, std::string text, std::string path)
        : scheme_(std::move(scheme))
        , text_(std::move(text))
        , path_(std::move(path))
    {
    }

    std::string describe() const override;

private:
    // The URL's text: a file URL made from a path writes it from the path.
    std::string text() const;

    std::string scheme_;
    std::string text_; // empty for a file URL made from a path
    std::string path_;
};

#pragma once

// Points, sizes and rectangles in points, as the toolkit lays views out.
using CGFloat = double;

struct CGPoint {
    CGFloat x = 0;
    CGFloat y = 0;
    friend bool operator==(const CGPoint&, const CGPoint&) = default;
};

struct CGSize {
    CGFloat width = 0;
    CGFloat height = 0;
    friend bool operator==(const CGSize&, const CGSize&) = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    friend bool operator==(const CGRect&, const CGRect&) = default;

    CGFloat minX() const { return origin.x; }
    CGFloat minY() const { return origin.y; }
    CGFloat maxX() const { return origin.x + size.width; }
    CGFloat maxY() const { return origin.y + size.height; }
    bool contains(CGPoint p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
};

inline constexpr CGRect CGRectZero {};

inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) { return { { x, y }, { width, height } }; }
inline CGSize CGSizeMake(CGFloat width, CGFloat height) { return { width, height }; }
inline CGPoint CGPointMake(CGFloat x, CGFloat y) { return { x, y }; }

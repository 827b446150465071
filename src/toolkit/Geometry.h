// Points and rectangles in whole pixels. A rectangle is left/top inclusive and right/bottom
// exclusive for drawing; contains() follows that rule, containsInclusive() also takes the right
// and bottom edges (the rule the buttons use while they track a press).
#pragma once

#include <algorithm>

namespace vorpalix::toolkit {

struct Point {
    int x = 0;
    int y = 0;

    friend bool operator==(const Point&, const Point&) = default;
    Point operator+(Point o) const { return {x + o.x, y + o.y}; }
    Point operator-(Point o) const { return {x - o.x, y - o.y}; }
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    friend bool operator==(const Rect&, const Rect&) = default;

    static Rect ofSize(int x, int y, int width, int height) {
        return {x, y, x + width, y + height};
    }

    int getWidth() const { return right - left; }
    int getHeight() const { return bottom - top; }
    Point topLeft() const { return {left, top}; }
    bool isEmpty() const { return right <= left || bottom <= top; }

    bool contains(Point p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    bool containsInclusive(Point p) const {
        return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
    }
    bool intersects(const Rect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    Rect intersection(const Rect& o) const {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
               std::min(bottom, o.bottom)};
        return r.isEmpty() ? Rect{} : r;
    }
    // The smallest rectangle holding both; an empty rectangle adds nothing.
    Rect united(const Rect& o) const {
        if (o.isEmpty())
            return *this;
        if (isEmpty())
            return o;
        return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                std::max(bottom, o.bottom)};
    }
    Rect offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    Rect offset(Point d) const { return offset(d.x, d.y); }
    Rect grown(int dx, int dy) const { return {left - dx, top - dy, right + dx, bottom + dy}; }
};

} // namespace vorpalix::toolkit

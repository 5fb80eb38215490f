#pragma once

#include <cstddef>
#include <string_view>

namespace platform::internal {

// gumbo scans its stack of open elements for many tags and, inside
// formatting elements, for every character, so its time grows with page size
// times nesting depth: a megabyte of unclosed tags takes minutes.

// The deepest nesting a page is parsed with.
inline constexpr std::size_t MaxNesting = 2048;

// Whether the markup nests elements deeper than `limit`, by a quick scan
// that follows tags, end tags, comments and raw text, and the end tags a
// parser implies for cells, rows, list items, options and paragraphs. It
// does not count the formatting elements a parser reopens, so it errs low.
bool nestsDeeperThan(std::string_view utf8, std::size_t limit);

} // namespace platform::internal

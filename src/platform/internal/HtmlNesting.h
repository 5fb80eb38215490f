#pragma once

#include <cstddef>
#include <cstdint>
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

// The parser's other costs beyond its linear ones: for every tag it looks
// through the open elements (the depth), and it checks every attribute of
// a tag against the tag's earlier ones (so one tag with n attributes costs
// n * n / 2). A page whose sum of these exceeds this takes seconds.
inline constexpr std::uint64_t MaxParseWork = std::uint64_t(1) << 27;

enum class Cost
{
    Bounded,
    TooDeep,     // nests deeper than the limit
    TooMuchWork, // see MaxParseWork
};
// The same scan as nestsDeeperThan, also adding up that work.
Cost costsMore(std::string_view utf8, std::size_t limit, std::uint64_t maxWork);

} // namespace platform::internal

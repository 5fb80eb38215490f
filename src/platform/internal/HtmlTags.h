#pragma once

#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <gumbo.h>
#include <initializer_list>

namespace platform::internal {

// What the tree builder, the renderers and the nesting pre-scan know of each
// tag, kept in one table so they cannot drift apart.
enum TagTrait : std::uint32_t
{
    // How a tag renders and serialises.
    Skipped = 1u << 0,   // not rendered: head, script, style...
    Block = 1u << 1,     // starts and ends a line
    LineBreak = 1u << 2, // <br>
    Preformatted = 1u << 3,
    Void = 1u << 4,     // no content, no end tag
    RawText = 1u << 5,  // content serialised unescaped
    TableTag = 1u << 6, // <table> itself
    TableCell = 1u << 7,

    // How the tokenizer and tree builder treat it, as the pre-scan follows them.
    Escapable = 1u << 8,        // raw text with entities (title, textarea)
    NotNested = 1u << 9,        // html, head, body: merged into the one there is
    ClosesParagraph = 1u << 10, // a block start that ends an open <p>
    Formatting = 1u << 11,      // reopened by text when an implied end closed it
    Marker = 1u << 12,          // starts a new run of formatting elements
    TableContext = 1u << 13,    // text here is moved before the table
    StaysInTable = 1u << 14,    // not moved before the table
};

// A mark the tree builder sets on an element beside its tag's traits: a
// cell followed by another cell, so a tab follows it in rendered text.
inline constexpr std::uint32_t FollowedByCell = 1u << 15;

namespace tags {

inline constexpr auto table = [] {
    std::array<std::uint32_t, GUMBO_TAG_LAST + 1> t{};
    const auto mark = [&t](std::uint32_t traits, std::initializer_list<GumboTag> of) {
        for (const GumboTag tag : of)
            t[tag] |= traits;
    };
    mark(Skipped, {GUMBO_TAG_HEAD, GUMBO_TAG_TITLE, GUMBO_TAG_TEMPLATE, GUMBO_TAG_SCRIPT,
                   GUMBO_TAG_STYLE, GUMBO_TAG_NOSCRIPT});
    mark(RawText, {GUMBO_TAG_SCRIPT, GUMBO_TAG_STYLE, GUMBO_TAG_NOSCRIPT, GUMBO_TAG_XMP,
                   GUMBO_TAG_IFRAME, GUMBO_TAG_NOEMBED, GUMBO_TAG_NOFRAMES, GUMBO_TAG_PLAINTEXT});
    mark(Escapable, {GUMBO_TAG_TITLE, GUMBO_TAG_TEXTAREA});
    mark(Preformatted, {GUMBO_TAG_PLAINTEXT, GUMBO_TAG_PRE, GUMBO_TAG_LISTING, GUMBO_TAG_TEXTAREA});
    mark(LineBreak, {GUMBO_TAG_BR});
    mark(Void, {GUMBO_TAG_AREA, GUMBO_TAG_BASE, GUMBO_TAG_BASEFONT, GUMBO_TAG_BGSOUND, GUMBO_TAG_BR,
                GUMBO_TAG_COL, GUMBO_TAG_EMBED, GUMBO_TAG_FRAME, GUMBO_TAG_HR, GUMBO_TAG_IMG,
                GUMBO_TAG_INPUT, GUMBO_TAG_KEYGEN, GUMBO_TAG_LINK, GUMBO_TAG_META, GUMBO_TAG_PARAM,
                GUMBO_TAG_SOURCE, GUMBO_TAG_TRACK, GUMBO_TAG_WBR});
    mark(NotNested, {GUMBO_TAG_HTML, GUMBO_TAG_HEAD, GUMBO_TAG_BODY});
    mark(TableTag, {GUMBO_TAG_TABLE});
    mark(TableCell, {GUMBO_TAG_TD, GUMBO_TAG_TH});

    // Block starts; most of them end an open paragraph too.
    mark(Block | ClosesParagraph,
         {GUMBO_TAG_ADDRESS, GUMBO_TAG_ARTICLE,  GUMBO_TAG_ASIDE,      GUMBO_TAG_BLOCKQUOTE,
          GUMBO_TAG_CENTER,  GUMBO_TAG_DETAILS,  GUMBO_TAG_DIR,        GUMBO_TAG_DIV,
          GUMBO_TAG_DL,      GUMBO_TAG_FIELDSET, GUMBO_TAG_FIGCAPTION, GUMBO_TAG_FIGURE,
          GUMBO_TAG_FOOTER,  GUMBO_TAG_FORM,     GUMBO_TAG_H1,         GUMBO_TAG_H2,
          GUMBO_TAG_H3,      GUMBO_TAG_H4,       GUMBO_TAG_H5,         GUMBO_TAG_H6,
          GUMBO_TAG_HEADER,  GUMBO_TAG_HGROUP,   GUMBO_TAG_LI,         GUMBO_TAG_MAIN,
          GUMBO_TAG_MENU,    GUMBO_TAG_NAV,      GUMBO_TAG_OL,         GUMBO_TAG_P,
          GUMBO_TAG_PRE,     GUMBO_TAG_LISTING,  GUMBO_TAG_SECTION,    GUMBO_TAG_SUMMARY,
          GUMBO_TAG_TABLE,   GUMBO_TAG_UL});
    mark(Block, {GUMBO_TAG_HTML, GUMBO_TAG_BODY, GUMBO_TAG_CAPTION, GUMBO_TAG_DD, GUMBO_TAG_DT,
                 GUMBO_TAG_LEGEND, GUMBO_TAG_TR, GUMBO_TAG_HR, GUMBO_TAG_PLAINTEXT});

    mark(Formatting, {GUMBO_TAG_A, GUMBO_TAG_B, GUMBO_TAG_BIG, GUMBO_TAG_CODE, GUMBO_TAG_EM,
                      GUMBO_TAG_FONT, GUMBO_TAG_I, GUMBO_TAG_NOBR, GUMBO_TAG_S, GUMBO_TAG_SMALL,
                      GUMBO_TAG_STRIKE, GUMBO_TAG_STRONG, GUMBO_TAG_TT, GUMBO_TAG_U});
    mark(Marker, {GUMBO_TAG_TD, GUMBO_TAG_TH, GUMBO_TAG_CAPTION, GUMBO_TAG_APPLET, GUMBO_TAG_OBJECT,
                  GUMBO_TAG_MARQUEE, GUMBO_TAG_TEMPLATE});
    mark(TableContext,
         {GUMBO_TAG_TABLE, GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT, GUMBO_TAG_TR});
    mark(StaysInTable,
         {GUMBO_TAG_TABLE, GUMBO_TAG_TBODY, GUMBO_TAG_THEAD, GUMBO_TAG_TFOOT, GUMBO_TAG_TR,
          GUMBO_TAG_TD, GUMBO_TAG_TH, GUMBO_TAG_CAPTION, GUMBO_TAG_COLGROUP, GUMBO_TAG_COL,
          GUMBO_TAG_SCRIPT, GUMBO_TAG_STYLE, GUMBO_TAG_TEMPLATE, GUMBO_TAG_INPUT, GUMBO_TAG_FORM});
    return t;
}();
static_assert(std::ranges::all_of(table, [](std::uint32_t t) { return t < FollowedByCell; }),
              "the traits sit below the marks an element keeps of its own");

} // namespace tags

inline std::uint32_t traitsOf(GumboTag tag)
{
    return tags::table[tag];
}

inline bool is(GumboTag tag, std::uint32_t trait)
{
    return (tags::table[tag] & trait) != 0;
}

// A known tag's name in upper case ("TABLE"), made once and shared.
const QString& tagName(GumboTag tag);

} // namespace platform::internal

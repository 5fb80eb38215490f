#pragma once

#include "lookup/SiteAddress.h"
#include "lookup/clsPostcode.h"
#include "platform/Env.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

namespace platform {
class Browser;
class HtmlDocument;
class MessageSink;
} // namespace platform

namespace lookup {

// Loads and reads the postcode site's pages for one engine. The referenced
// flag, base address and collection belong to the engine and must outlive
// the reader. Waits and page loads run the event loop.
class PageReader
{
public:
    PageReader(platform::Env env, platform::MessageSink& sink, platform::Browser& browser,
               bool& ValidURL, const QString& Url, PostcodeCollection& collection);

    // Harvests every result of one search into the collection. Types "B",
    // "S" and "M" (exact); any other type loads nothing. Stops at a block.
    void GetPostcodes(const QString& Querynaam, const QString& Typenaam);

    // Loads a page (reports "URL = " first), waiting up to 60 s for it.
    // False, with "Blocked" reported and ValidURL cleared, when the page says
    // the site refuses searches. Throws RunError 91 when the page has no body.
    bool GetUrl(const SiteAddress& address);

    // The result count of the loaded page, or empty (see readMaxPages).
    QVariant GetMaxPages();

    // Appends the records of the loaded page to the collection.
    void ExtractPostcode(const QString& Querynaam, const QString& Typenaam,
                         const QVariant& Resultaten);

    // Called after each page is read, with its number (1 = the search page)
    // and the number of pages of the search.
    void setProgress(std::function<void(qint64 page, qint64 pages)> progress)
    {
        m_progress = std::move(progress);
    }

private:
    // The loaded page, which must have a body (else RunError 91).
    std::shared_ptr<const platform::HtmlDocument> page();
    // Loads further pages 1..bound of a search; false when blocked.
    bool walkPages(const QString& text, const QString& Typenaam, const QVariant& N,
                   const std::function<qint32()>& pause);
    void report(qint64 page, qint64 bound);

    platform::Env m_env;
    platform::MessageSink& m_sink;
    platform::Browser& m_browser;
    bool& m_validUrl;
    const QString& m_url;
    PostcodeCollection& m_collection;
    std::function<void(qint64, qint64)> m_progress;
};

// Last further page of a search with N results: floor((N - 1) / 10), where
// an empty N counts as 0; -1 or less means none.
qint64 lastPage(const QVariant& N);

// x rounded to the nearest whole number, halves to the even one.
double roundHalfEven(double x);

} // namespace lookup

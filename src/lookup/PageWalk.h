#pragma once

#include "lookup/Outcome.h"
#include "lookup/SiteAddress.h"
#include "lookup/clsPostcode.h"
#include "platform/Env.h"

#include <QObject>
#include <QString>

namespace platform {
class Browser;
class MessageSink;
} // namespace platform

namespace lookup {

// How often a page that is still loading is looked at.
inline constexpr qint32 PagePollMs = 10;
// A page that is not complete after this long has failed to load.
inline constexpr quint32 PageTimeLimitMs = 60000;

// What the walk over one request's pages found.
struct WalkResult
{
    // Done when every page was read; Blocked, Unreachable (a page failed to
    // load), Interrupted (the stop request) or LeaseLost otherwise.
    Outcome outcome = Outcome::Done;
    // Every record read, in page order; only a complete walk has them all.
    PostcodeCollection records;
};

// What a walk asks, while it waits for the site, whether the request is
// still this harvester's to work on (its lease kept alive).
class Heartbeat
{
public:
    virtual ~Heartbeat() = default;
    // No single wait lasts longer than this before the next beat.
    virtual qint32 intervalMs() const = 0;
    // Keeps the claim alive when that is due; false once it is lost.
    // Throws platform::RunError when the database fails.
    virtual bool beat() = 0;
};

// Loads and reads the postcode site's pages for one request, pacing the
// site with its pauses. Waits and page loads run through the environment's
// wait; a raised stop request cuts them short.
class PageWalk : public QObject
{
    Q_OBJECT
public:
    PageWalk(platform::Env env, platform::MessageSink& sink, platform::Browser& browser);

    // Harvests every result of one request from the site at Url. Type "B"
    // searches the text with each of SearchLetters appended, "S" and "M" the
    // text itself (blanks around it trimmed in the address); any other type
    // loads nothing. Records of "S" and "M" carry the request's text
    // exactly; those of "B" the search text of their pass (the trimmed text
    // with the letter, none for the blank). Reports "URL = " before every page,
    // "Blocked" at a block page and one red line naming the address and the
    // reason when a page fails to load (refused, reset, unknown host,
    // redirect loop, status 400 or more, too large, or not complete after
    // PageTimeLimitMs on the tick clock). With a heartbeat, every pause and
    // page load asks it in turn, and a lost claim ends the walk at once
    // (LeaseLost). Throws platform::RunError 91 when a loaded page has no
    // body.
    WalkResult GetPostcodes(const QString& Url, const QString& Querynaam, const QString& Typenaam,
                            Heartbeat* heartbeat = nullptr);

signals:
    // A page of the search was read: its number (1 = the search page) and
    // the number of pages of the search.
    void pageRead(qint64 page, qint64 pages);
    // A pause toward the site begins.
    void pauseStarted(qint32 milliseconds);

private:
    Outcome search(const QString& Url, const QString& text, const QString& Query,
                   const QString& Typenaam, bool big, PostcodeCollection& into);
    // Done once the page is loaded and is no block page.
    Outcome GetUrl(const SiteAddress& address);
    bool pause(qint32 milliseconds);
    bool goOn();
    Outcome interruption() const;

    Heartbeat* m_heartbeat = nullptr;
    bool m_lost = false;

    platform::Env m_env;
    platform::MessageSink& m_sink;
    platform::Browser& m_browser;
};

} // namespace lookup

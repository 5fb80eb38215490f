#include "lookup/PageWalk.h"

#include "lookup/Pause.h"
#include "lookup/ResultPage.h"
#include "platform/Browser.h"
#include "platform/HtmlDocument.h"
#include "platform/MessageSink.h"
#include "platform/RunError.h"

#include <cmath>
#include <limits>

namespace lookup {

namespace {

constexpr qint32 BigSearchPauseMs = 10000;
constexpr qint32 BigPagePauseMs = 3000;
using platform::Red;
const QString BlockMarker = QStringLiteral("voorlopig geen zoek");

// Last further page of a search with N results: floor((N - 1) / 10), where
// an empty N counts as 0; -1 or less means none.
qint64 lastPage(const QVariant& N)
{
    const double n = N.isValid() ? N.toDouble() : 0.0;
    const double bound = std::floor((n - 1) / 10);
    // No site has this many pages; the clamp only keeps the conversion defined.
    return qint64(std::clamp(bound, -1.0, double(std::numeric_limits<qint32>::max())));
}

// x rounded to the nearest whole number, halves to the even one.
double roundHalfEven(double x)
{
    const double f = std::floor(x);
    const double d = x - f;
    if (d > 0.5)
        return f + 1;
    if (d < 0.5)
        return f;
    return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

} // namespace

PageWalk::PageWalk(platform::Env env, platform::MessageSink& sink, platform::Browser& browser)
    : m_env(env), m_sink(sink), m_browser(browser)
{
    m_browser.setStop(env.stop);
}

// False once the stop request is raised or the claim is lost.
bool PageWalk::goOn()
{
    if (m_env.stop && m_env.stop->requested())
        return false;
    if (m_heartbeat && !m_lost)
        m_lost = !m_heartbeat->beat();
    return !m_lost;
}

Outcome PageWalk::interruption() const
{
    return m_lost ? Outcome::LeaseLost : Outcome::Interrupted;
}

// A pause is waited in slices no longer than the heartbeat's interval, so
// the claim stays alive through it.
bool PageWalk::pause(qint32 milliseconds)
{
    emit pauseStarted(milliseconds);
    return pauseFor(*m_env.wait, milliseconds, m_heartbeat ? m_heartbeat->intervalMs() : 0,
                    [this] { return goOn(); });
}

WalkResult PageWalk::GetPostcodes(const QString& Url, const QString& Querynaam,
                                  const QString& Typenaam, Heartbeat* heartbeat)
{
    m_heartbeat = heartbeat;
    m_lost = false;
    WalkResult result;
    const QString text = Trim(Querynaam);
    if (Typenaam == QLatin1String("B")) {
        for (const QChar c : SearchLetters) {
            if (!pause(BigSearchPauseMs)) {
                result.outcome = interruption();
                break;
            }
            // The rows say what was searched: the trimmed text and the letter.
            const QString query = c == u' ' ? text : text + c;
            result.outcome = search(Url, text + c, query, Typenaam, true, result.records);
            if (result.outcome != Outcome::Done)
                break;
        }
    } else if (Typenaam == QLatin1String("S") || Typenaam == QLatin1String("M")) {
        result.outcome = search(Url, text, Querynaam, Typenaam, false, result.records);
    }
    m_heartbeat = nullptr;
    return result;
}

// One search and its further pages. A small search without results reads
// nothing; a big one reads its search page whatever the count.
Outcome PageWalk::search(const QString& Url, const QString& text, const QString& Query,
                         const QString& Typenaam, bool big, PostcodeCollection& into)
{
    if (const Outcome first = GetUrl(searchAddress(Url, text)); first != Outcome::Done)
        return first;
    const platform::HtmlElement& body = *m_browser.Document()->Body();
    const QVariant N = readMaxPages(body);
    if (!big && !(N.isValid() && N.toDouble() > 0))
        return Outcome::Done;
    readPostcodes(body, Query, Typenaam, N, into, m_sink);
    const qint64 bound = lastPage(N); // once, before the first further page
    const qint64 pages = std::max<qint64>(bound, 0) + 1;
    emit pageRead(1, pages);
    for (qint64 p = 1; p <= bound; ++p) {
        const qint32 ms =
            big ? BigPagePauseMs : qint32(roundHalfEven(m_env.random->Rnd() * 5000 + 2000));
        if (!pause(ms))
            return interruption();
        if (const Outcome load = GetUrl(pageAddress(Url, p, text)); load != Outcome::Done)
            return load;
        readPostcodes(*m_browser.Document()->Body(), Query, Typenaam, N, into, m_sink);
        emit pageRead(p + 1, pages);
    }
    return Outcome::Done;
}

Outcome PageWalk::GetUrl(const SiteAddress& address)
{
    m_sink.AddMelding(QStringLiteral("URL = ") + address.logged, 0);
    m_browser.navigate(address.wire);
    // The tick clock is monotonic: a step of the wall clock cannot end a
    // load early or make it last for ever.
    const quint32 start = m_env.tick->GetTickCount();
    while (m_browser.ReadyState() != platform::Browser::Complete) {
        if (m_env.tick->GetTickCount() - start > PageTimeLimitMs) {
            m_browser.stop();
            m_sink.AddMelding(
                QStringLiteral("Pagina niet geladen: %1: geen volledige pagina na %2 s")
                    .arg(address.logged)
                    .arg(PageTimeLimitMs / 1000),
                0, false, Red);
            return Outcome::Unreachable;
        }
        m_env.wait->MsgWaitObj(PagePollMs);
        if (!goOn()) {
            m_browser.stop();
            return interruption();
        }
    }
    // A stop during the page's parse ended the parse, not the page.
    if (!goOn())
        return interruption();
    const auto doc = m_browser.Document();
    const platform::HtmlElement* body = doc ? doc->Body() : nullptr;
    // A block page may come with an error status; it is a block all the same.
    if (body && body->Innertext().contains(BlockMarker, Qt::CaseSensitive)) {
        m_sink.AddMelding(QStringLiteral("Blocked"), 0);
        return Outcome::Blocked;
    }
    if (!m_browser.failure().isEmpty()) {
        m_sink.AddMelding(
            QStringLiteral("Pagina niet geladen: %1: %2").arg(address.logged, m_browser.failure()),
            0, false, Red);
        return Outcome::Unreachable;
    }
    if (!body)
        throw platform::RunError(platform::RunError::ObjectVariableNotSet,
                                 QStringLiteral("The loaded page has no document body: ") +
                                     m_browser.url().toString(),
                                 QStringLiteral("GetUrl"));
    return Outcome::Done;
}

} // namespace lookup

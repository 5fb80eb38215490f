#include "lookup/PageReader.h"

#include "lookup/ResultPage.h"
#include "platform/Browser.h"
#include "platform/Clock.h"
#include "platform/HtmlDocument.h"
#include "platform/MessageSink.h"
#include "platform/RunError.h"

#include <cmath>
#include <limits>

namespace lookup {

namespace {
constexpr double PageTimeLimitSeconds = 60;
constexpr qint32 PollMs = 10;
constexpr qint32 BigSearchPauseMs = 10000;
constexpr qint32 BigPagePauseMs = 3000;
const QString BlockMarker = QStringLiteral("voorlopig geen zoek");
} // namespace

qint64 lastPage(const QVariant& N)
{
    const double n = N.isValid() ? N.toDouble() : 0.0;
    const double bound = std::floor((n - 1) / 10);
    // No site has this many pages; the clamp only keeps the conversion defined.
    return qint64(std::clamp(bound, -1.0, double(std::numeric_limits<qint32>::max())));
}

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

PageReader::PageReader(platform::Env env, platform::MessageSink& sink, platform::Browser& browser,
                       bool& ValidURL, const QString& Url, PostcodeCollection& collection)
    : m_env(env), m_sink(sink), m_browser(browser), m_validUrl(ValidURL), m_url(Url),
      m_collection(collection)
{
}

void PageReader::GetPostcodes(const QString& Querynaam, const QString& Typenaam)
{
    if (Typenaam == QLatin1String("B")) {
        for (const QChar c : SearchLetters) {
            m_env.wait->MsgWaitObj(BigSearchPauseMs);
            const QString text = Querynaam + c;
            if (!GetUrl(searchAddress(m_url, text)))
                return;
            const QVariant N = GetMaxPages();
            ExtractPostcode(text, Typenaam, N);
            report(1, lastPage(N));
            if (!walkPages(text, Typenaam, N, [] { return BigPagePauseMs; }))
                return;
        }
    } else if (Typenaam == QLatin1String("S") || Typenaam == QLatin1String("M")) {
        if (!GetUrl(searchAddress(m_url, Querynaam)))
            return;
        const QVariant N = GetMaxPages();
        if (!(N.isValid() && N.toDouble() > 0))
            return;
        ExtractPostcode(Querynaam, Typenaam, N);
        report(1, lastPage(N));
        walkPages(Querynaam, Typenaam, N,
                  [this] { return qint32(roundHalfEven(m_env.random->Rnd() * 5000 + 2000)); });
    }
}

bool PageReader::walkPages(const QString& text, const QString& Typenaam, const QVariant& N,
                           const std::function<qint32()>& pause)
{
    const qint64 bound = lastPage(N); // once, before the first further page
    for (qint64 p = 1; p <= bound; ++p) {
        m_env.wait->MsgWaitObj(pause());
        if (!GetUrl(pageAddress(m_url, p, text)))
            return false;
        ExtractPostcode(text, Typenaam, N);
        report(p + 1, bound);
    }
    return true;
}

void PageReader::report(qint64 page, qint64 bound)
{
    if (m_progress)
        m_progress(page, std::max<qint64>(bound, 0) + 1);
}

bool PageReader::GetUrl(const SiteAddress& address)
{
    m_sink.AddMelding(QStringLiteral("URL = ") + address.logged, 0);
    m_browser.navigate(address.wire);
    const double start = m_env.day->Timer();
    for (;;) {
        const int state = m_browser.ReadyState();
        const double now = m_env.day->Timer();
        if (platform::secondsBetween(start, now) > PageTimeLimitSeconds ||
            state == platform::Browser::Complete)
            break;
        m_env.wait->MsgWaitObj(PollMs);
    }
    if (page()->Body()->Innertext().contains(BlockMarker, Qt::CaseSensitive)) {
        m_sink.AddMelding(QStringLiteral("Blocked"), 0);
        m_validUrl = false;
        return false;
    }
    return true;
}

std::shared_ptr<const platform::HtmlDocument> PageReader::page()
{
    auto doc = m_browser.Document();
    if (!doc || !doc->Body())
        throw platform::RunError(platform::RunError::ObjectVariableNotSet,
                                 QStringLiteral("The loaded page has no document body: ") +
                                     m_browser.url().toString(),
                                 QStringLiteral("GetUrl"));
    return doc;
}

QVariant PageReader::GetMaxPages()
{
    return readMaxPages(*page()->Body());
}

void PageReader::ExtractPostcode(const QString& Querynaam, const QString& Typenaam,
                                 const QVariant& Resultaten)
{
    const auto doc = page();
    readPostcodes(*doc->Body(), Trim(Querynaam), Typenaam, Resultaten, m_collection, m_sink);
}

} // namespace lookup

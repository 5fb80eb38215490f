#include "shell/BatchProgress.h"

#include <QStringList>

namespace shell {

void BatchProgress::requestStarted(int request, int requests)
{
    *this = BatchProgress{};
    m_request = request;
    m_requests = requests;
}

void BatchProgress::queryStarted(const QString& query)
{
    m_query = query;
    m_requestDone = false;
    m_page = m_pages = 0;
}

void BatchProgress::pageRead(qint64 page, qint64 pages)
{
    m_page = page;
    m_pages = pages;
    m_pausing = false;
}

void BatchProgress::pauseStarted(quint32 now, qint32 milliseconds, bool requestDone)
{
    m_requestDone = m_requestDone || requestDone;
    m_pausing = true;
    m_pauseEnds = now + quint32(milliseconds);
}

void BatchProgress::reset()
{
    *this = BatchProgress{};
}

int BatchProgress::total() const
{
    return qMax(1, m_requests);
}

int BatchProgress::done() const
{
    return qBound(0, m_request - (m_requestDone ? 0 : 1), total());
}

QString BatchProgress::text(quint32 now) const
{
    QStringList parts;
    if (m_requests > 0)
        parts << QStringLiteral("Verzoek %1 van %2").arg(m_request).arg(m_requests) +
                     (m_query.isEmpty() ? QString() : QStringLiteral(": ") + m_query);
    if (m_pages > 0)
        parts << QStringLiteral("pagina %1 van %2").arg(m_page).arg(m_pages);
    if (m_pausing) {
        // Signed difference: right across the tick's wrap.
        const qint32 left = qint32(m_pauseEnds - now);
        if (left > 0)
            parts << QStringLiteral("pauze nog %1 s").arg((qint64(left) + 999) / 1000);
    }
    return parts.join(QStringLiteral("  ·  "));
}

} // namespace shell

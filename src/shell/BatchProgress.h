#pragma once

#include <QString>
#include <QtGlobal>

namespace shell {

// What the status bar says about a running batch: which request of how
// many, its query, the page of the walk and the seconds left of a pause.
// Widget free; the window feeds it the harvest's signals and asks for the
// text and the bar's value with the tick count of the moment.
class BatchProgress
{
public:
    // Request `request` of `requests` (1-based) begins; forgets its pages.
    void requestStarted(int request, int requests);
    // The request being worked on turned out to be `query`.
    void queryStarted(const QString& query);
    void pageRead(qint64 page, qint64 pages);
    // A pause of `milliseconds` from tick `now`. After a request's own work
    // (`requestDone`) it counts as finished on the bar.
    void pauseStarted(quint32 now, qint32 milliseconds, bool requestDone);
    // A new batch, or none.
    void reset();

    // The bar: finished requests out of total() (at least 1).
    int done() const;
    int total() const;
    // "Verzoek i van n: query  ·  pagina p van q  ·  pauze nog s s", with
    // the parts not known yet left out. The seconds are rounded up; the
    // 32-bit tick may wrap in between.
    QString text(quint32 now) const;

private:
    int m_request = 0, m_requests = 0;
    QString m_query;
    qint64 m_page = 0, m_pages = 0;
    quint32 m_pauseEnds = 0;
    bool m_pausing = false;
    bool m_requestDone = false;
};

} // namespace shell

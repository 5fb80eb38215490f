#include "app/Extract.h"

#include "app/CommandLine.h"
#include "lookup/ResultPage.h"
#include "platform/Browser.h"
#include "platform/Convert.h"
#include "platform/HtmlDocument.h"
#include "platform/MessageSink.h"

#include <QFile>
#include <QFileInfo>

namespace app {

namespace {

class StreamSink : public platform::MessageSink
{
public:
    explicit StreamSink(QTextStream& stream) : m_stream(stream) {}
    void AddMelding(const QString& MeldTxt, int, bool, quint32) override
    {
        m_stream << MeldTxt << Qt::endl;
    }

private:
    QTextStream& m_stream;
};

// One column value: Null as \N; tab, line end and backslash escaped.
QString column(const QVariant& value)
{
    if (value.isNull())
        return QStringLiteral("\\N");
    const QString text = value.typeId() == QMetaType::Double
                             ? platform::numberText(value.toDouble())
                             : value.toString();
    // Most values need no escape; four replace passes each were a tenth of a run.
    qsizetype done = 0;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const char escaped = c == u'\\'   ? '\\'
                             : c == u'\t' ? 't'
                             : c == u'\n' ? 'n'
                             : c == u'\r' ? 'r'
                                          : 0;
        if (!escaped)
            continue;
        out += QStringView(text).sliced(done, i - done);
        out += u'\\';
        out += QLatin1Char(escaped);
        done = i + 1;
    }
    if (done == 0)
        return text;
    out += QStringView(text).sliced(done);
    return out;
}

} // namespace

int runExtract(const QStringList& files, const QString& query, const QString& type,
               QTextStream& out, QTextStream& err)
{
    StreamSink sink(err);
    int status = ExitOk;
    for (const QString& name : files) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) {
            err << name << ": " << file.errorString() << Qt::endl;
            status = ExitFailure;
            continue;
        }
        // The harvester's bound: a larger page is refused unread, so one
        // file cannot take the memory of many.
        const QByteArray bytes = file.read(platform::Browser::MaxPageBytes + 1);
        if (bytes.size() > platform::Browser::MaxPageBytes) {
            out << "# " << name << "\t\\N" << Qt::endl;
            err << name << ": the page is larger than " << (platform::Browser::MaxPageBytes >> 20)
                << " MiB" << Qt::endl;
            continue;
        }
        const auto doc = platform::HtmlDocument::fromBytes(bytes);
        out << "# " << name << '\t';
        if (!doc->Body()) {
            out << "\\N" << Qt::endl;
            err << name
                << (doc->refused() ? ": the page nests too deep or grows too large to read"
                                   : ": the page has no body")
                << Qt::endl;
            continue;
        }
        const QVariant count = lookup::readMaxPages(*doc->Body());
        out << column(count) << Qt::endl;
        lookup::PostcodeCollection records;
        const QString q = query.isEmpty() ? QFileInfo(name).completeBaseName() : query;
        lookup::readPostcodes(*doc->Body(), q, type, count, records, sink);
        for (const auto& r : records) {
            const QVariant fields[] = {r->Query,  r->Typenaam,   r->Postcode,
                                       r->Straat, r->EvenOneven, r->NrVan,
                                       r->NrTm,   r->Woonplaats, r->Resultaten};
            QStringList line;
            for (const QVariant& f : fields)
                line << column(f);
            out << line.join(u'\t') << '\n';
        }
        out.flush();
    }
    return status;
}

} // namespace app

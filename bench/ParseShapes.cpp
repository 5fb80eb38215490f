// Parse time of pages just under the browser's 8 MiB bound, one costly
// shape each: build/bench/parse_shapes [NAME]. Prints wall and processor
// time (the processor time is the parser's own cost on a busy machine).
#include "platform/Browser.h"
#include "platform/HtmlDocument.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

double cpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

constexpr qsizetype Size = platform::Browser::MaxPageBytes - 4096;

// `head`, then `unit` repeated up to Size.
QByteArray fill(const QByteArray& head, const QByteArray& unit)
{
    return head + unit.repeated((Size - head.size()) / unit.size());
}

QByteArray attributes(const QByteArray& tag, int first, int count)
{
    QByteArray out = "<" + tag;
    for (int i = first; i < first + count; ++i)
        out += " a" + QByteArray::number(i) + "=1";
    return out + ">";
}

} // namespace

int main(int argc, char** argv)
{
    struct Shape
    {
        const char* name;
        std::function<QByteArray()> page;
    };
    const std::vector<Shape> shapes = {
        {"attributes-100000", [] { return attributes("div", 0, 100000) + "x</div>"; }},
        {"same-attribute", [] { return fill("<body><p", " a=1") + ">"; }},
        {"tags-of-1000-attributes", [] { return fill({}, attributes("i", 0, 1000) + "x</i>"); }},
        {"body-attributes",
         [] {
             QByteArray p;
             for (int i = 0; p.size() < Size; ++i)
                 p += attributes("body", i * 100, 100);
             return p;
         }},
        {"entities", [] { return fill("<body><p>", "&amp;&lt;&#x41;&nbsp;&notin;&bogus;"); }},
        {"entities-in-attribute", [] { return fill("<body><p title=\"", "&amp;&lt;&#65;&nbsp;"); }},
        {"end-tags-2000-deep", [] { return fill(QByteArray("<div>").repeated(2000), "</p>"); }},
        {"text-2000-deep", [] { return fill(QByteArray("<div>").repeated(2000), "a<br>"); }},
        {"text-in-tables-600-deep",
         [] { return fill(QByteArray("<table><tr><td>").repeated(600), "x</td>"); }},
        {"wide", [] { return fill("<body>", "<span>x</span>"); }},
        {"rows",
         [] { return fill("<table>", "<tr><td>1011 AB<td>Damrak<td>1 t/m 9<td>Amsterdam"); }},
        {"short-rows", [] { return fill("<table>", "<tr><td>x"); }},
        {"adoption", [] { return fill("<body>", "<a><p><a>"); }},
        {"unknown-end-tags", [] { return fill("<body>", "</x>"); }},
    };
    for (const Shape& shape : shapes) {
        if (argc > 1 && QByteArray(argv[1]) != shape.name)
            continue;
        const QByteArray page = shape.page();
        QElapsedTimer wall;
        wall.start();
        const double cpu = cpuMilliseconds();
        const auto doc = platform::HtmlDocument::fromBytes(page, "text/html; charset=utf-8");
        std::printf("%-24s %5lld KiB  %6lld ms wall  %6.0f ms cpu  %s\n", shape.name,
                    static_cast<long long>(page.size() / 1024),
                    static_cast<long long>(wall.elapsed()), cpuMilliseconds() - cpu,
                    doc->refused() ? "refused" : "read");
        std::fflush(stdout);
    }
}

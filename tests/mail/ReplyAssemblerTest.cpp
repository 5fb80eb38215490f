#include "mail/internal/ReplyAssembler.h"

#include <gtest/gtest.h>

using mail::internal::Reply;
using mail::internal::ReplyAssembler;

namespace {

QList<QByteArray> texts(const QList<Reply>& replies)
{
    QList<QByteArray> out;
    for (const Reply& r : replies)
        out << r.text;
    return out;
}

} // namespace

// However the network cuts the bytes, the same whole replies come out: two
// in one read are two, one over several reads is one, and a multi-line
// reply ends at its first line without "-".
TEST(ReplyAssembler, WholeRepliesWhateverTheCuts)
{
    const QByteArray stream = "220 ready\r\n250-peer\r\n250-AUTH LOGIN PLAIN\r\n250 STARTTLS\r\n"
                              "334 VXNlcm5hbWU6\r\n354 go\n";
    const QList<QByteArray> expected{"220 ready\r\n",
                                     "250-peer\r\n250-AUTH LOGIN PLAIN\r\n250 STARTTLS\r\n",
                                     "334 VXNlcm5hbWU6\r\n", "354 go\n"};
    ReplyAssembler whole;
    EXPECT_EQ(texts(whole.feed(stream)), expected);
    for (qsizetype step : {1, 2, 3, 7, 13}) {
        ReplyAssembler cut;
        QList<Reply> replies;
        for (qsizetype at = 0; at < stream.size(); at += step)
            replies += cut.feed(stream.mid(at, step));
        EXPECT_EQ(texts(replies), expected) << step;
    }

    const QList<Reply> ehlo = ReplyAssembler().feed(expected[1]);
    ASSERT_EQ(ehlo.size(), 1);
    EXPECT_EQ(ehlo[0].code(), "250");
    EXPECT_EQ(ehlo[0].arguments(), (QList<QByteArray>{"peer", "AUTH LOGIN PLAIN", "STARTTLS"}));
}

TEST(ReplyAssembler, Pop3LinesShortLinesAndEndlessReplies)
{
    // In POP3 every line is a reply, a "-" in the fourth place included.
    ReplyAssembler pop;
    pop.setMode(ReplyAssembler::Mode::Pop3);
    EXPECT_EQ(texts(pop.feed("+OK-ready\r\n-ERR no\r\n+O")),
              (QList<QByteArray>{"+OK-ready\r\n", "-ERR no\r\n"}));
    EXPECT_EQ(pop.feed("K\r\n").value(0).code(), "+OK");

    // A line too short for a code ends its reply; an empty line is a reply.
    ReplyAssembler smtp;
    EXPECT_EQ(texts(smtp.feed("25\r\n\r\n")), (QList<QByteArray>{"25\r\n", "\r\n"}));

    // A reply that never ends is handed over at the limit, not held without
    // end; what is cleared is forgotten.
    QList<Reply> replies;
    for (int i = 0; i < 10000 && replies.isEmpty(); ++i)
        replies = smtp.feed("250-endless line of text\r\n");
    ASSERT_EQ(replies.size(), 1);
    EXPECT_GT(replies[0].text.size(), ReplyAssembler::MaxReply);
    smtp.feed("250-half");
    smtp.clear();
    EXPECT_EQ(texts(smtp.feed("221 bye\r\n")), QList<QByteArray>{"221 bye\r\n"});
}

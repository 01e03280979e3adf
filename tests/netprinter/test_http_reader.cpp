#include "httpreplyreader.h"

#include <gtest/gtest.h>

namespace
{
using State = HttpReplyReader::State;

struct Row {
    const char* what;
    QByteArray bytes;
    bool closes;  // the peer closes after the bytes
    State state;
    int status;
    QByteArray body;
    const char* refusal;  // a word of the reason, when refused
};

// Each reply fed whole, a byte at a time and in two halves must end alike.
TEST(HttpReplyReader, RepliesWholeAndInPieces)
{
    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    const Row rows[] = {
        {"a length", ok + "Content-Length: 5\r\n\r\nhello and more", false, State::Done, 200, "hello", ""},
        {"until the close", ok + "\r\nhello", true, State::Done, 200, "hello", ""},
        {"no close yet", ok + "\r\nhello", false, State::Body, 200, "hello", ""},
        // Cut before its length or its last chunk: no reply, whatever came.
        {"a length cut short", ok + "Content-Length: 50\r\n\r\nhel", true, State::Refused, 200, "", "closed after 3 of"},
        {"a length cut before its body", ok + "Content-Length: 50\r\n\r\n", true, State::Refused, 200, "",
         "closed after 0 of"},
        {"a length cut one byte short", ok + "Content-Length: 5\r\n\r\nhell", true, State::Refused, 200, "",
         "closed after 4 of its 5"},
        {"a chunk cut inside", ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nhel", true, State::Refused, 200, "",
         "last chunk"},
        {"chunks cut between chunks", ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", true, State::Refused,
         200, "", "last chunk"},
        {"chunks cut in a chunk line", ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0", true,
         State::Refused, 200, "", "last chunk"},
        {"chunks cut before any", ok + "Transfer-Encoding: chunked\r\n\r\n", true, State::Refused, 200, "",
         "last chunk"},
        // After the last chunk only its trailer is missing: the body is whole.
        {"chunks cut in the trailer", ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\nT: 1", true,
         State::Done, 200, "hello", ""},
        {"a length whole, then the close", ok + "Content-Length: 5\r\n\r\nhello", true, State::Done, 200, "hello",
         ""},
        {"chunks", ok + "Transfer-Encoding: chunked\r\n\r\n3\r\nhel\r\n2;x=1\r\nlo\r\n0\r\nT: 1\r\n\r\n", false, State::Done,
         200, "hello", ""},
        {"chunks with bare line ends", "HTTP/1.0 200 OK\nTransfer-Encoding: CHUNKED\n\na\nhelloworld\n0\n\n", false,
         State::Done, 200, "helloworld", ""},
        {"interim reply first", "HTTP/1.1 100 Continue\r\n\r\n" + ok + "Content-Length: 2\r\n\r\nhi", false, State::Done,
         200, "hi", ""},
        {"not found ends at its header", "HTTP/1.1 404 Not Found\r\n\r\nendless", false, State::Done, 404, "", ""},
        {"no content", "HTTP/1.1 204 No Content\r\n\r\n", false, State::Done, 204, "", ""},
        {"a length beside chunks", ok + "Content-Length: 20\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFF\r\n", false,
         State::Refused, 200, "", "both"},
        {"chunks beside a length", ok + "Transfer-Encoding: chunked\r\nContent-Length: 20\r\n\r\n", false, State::Refused,
         200, "", "both"},
        {"a coding before chunks", ok + "Transfer-Encoding: gzip, chunked\r\n\r\n", false, State::Refused, 200, "",
         "transfer coding"},
        {"content encoded", ok + "Content-Encoding: gzip\r\n\r\n", false, State::Refused, 200, "", "encoded"},
        {"identity encoding", ok + "Content-Encoding: identity\r\nContent-Length: 1\r\n\r\nx", false, State::Done, 200,
         "x", ""},
        {"a chunk of the largest size", ok + "Transfer-Encoding: chunked\r\n\r\n7FFFFFFFFFFFFFFF\r\n", false,
         State::Refused, 200, "", "chunk of"},
        {"a chunk size of forty digits", ok + "Transfer-Encoding: chunked\r\n\r\n" + QByteArray(40, 'F') + "\r\n", false,
         State::Refused, 200, "", "chunk of"},
        {"a chunk past the body's bound", ok + "Transfer-Encoding: chunked\r\n\r\n41\r\n", false, State::Refused, 200, "",
         "chunk of"},
        {"chunks past the body's bound together", ok + "Transfer-Encoding: chunked\r\n\r\n40\r\n" + QByteArray(64, 'x')
                                                      + "\r\n1\r\n",
         false, State::Refused, 200, "", "chunk of"},
        {"a chunk size that is no number", ok + "Transfer-Encoding: chunked\r\n\r\n-5\r\n", false, State::Refused, 200,
         "", "no number"},
        {"a chunk longer than its size", ok + "Transfer-Encoding: chunked\r\n\r\n1\r\nxy\r\n", false, State::Refused, 200,
         "", "longer"},
        {"an endless chunk line", ok + "Transfer-Encoding: chunked\r\n\r\n" + QByteArray(2000, '0'), false,
         State::Refused, 200, "", "chunk line"},
        {"a declared length past the bound", ok + "Content-Length: 65\r\n\r\n", false, State::Refused, 200, "",
         "declares"},
        {"a length of nineteen digits", ok + "Content-Length: 9999999999999999999\r\n\r\n", false, State::Refused, 200,
         "", "no count"},
        {"two lengths", ok + "Content-Length: 1\r\nContent-Length: 2\r\n\r\n", false, State::Refused, 200, "", "two"},
        {"a body past the bound", ok + "\r\n" + QByteArray(65, 'x'), false, State::Refused, 200, "", "more than"},
        {"an endless header", ok + "X: " + QByteArray(20000, 'h'), false, State::Refused, 200, "", "header of"},
        {"endless header lines", ok + QByteArray(4000, '\n').replace("\n", "X: 1\r\n"), false, State::Refused, 200,
         "", "header of"},
        {"endless interim replies", QByteArray("HTTP/1.1 100 Continue\r\n\r\n").repeated(1000), false, State::Refused, 0,
         "", "header of"},
        {"a folded line", ok + "X: 1\r\n  2\r\n\r\n", false, State::Refused, 200, "", "folded"},
        {"no HTTP", "SSH-2.0-x\r\n", false, State::Refused, 0, "", "no HTTP"},
        {"closed in the header", "HTTP/1.1 200", true, State::Refused, 0, "", "closed"},
    };
    for (const Row& r : rows) {
        for (const int piece : {0, 1, 2}) {
            SCOPED_TRACE(std::string(r.what) + " in pieces of kind " + std::to_string(piece));
            HttpReplyReader reader(64);
            if (piece == 0) {
                reader.feed(r.bytes);
            } else if (piece == 1) {
                for (const char c : r.bytes)
                    reader.feed(&c, 1);
            } else {
                reader.feed(r.bytes.left(r.bytes.size() / 2));
                reader.feed(r.bytes.mid(r.bytes.size() / 2));
            }
            if (r.closes)
                reader.closed();
            EXPECT_EQ(int(reader.state()), int(r.state));
            EXPECT_EQ(reader.status(), r.status);
            EXPECT_EQ(reader.body(), r.body);
            EXPECT_TRUE(reader.refusal().contains(r.refusal)) << reader.refusal().toStdString();
            EXPECT_LE(reader.held(), 64 + 2 * HttpReplyReader::kMaxHeadBytes + 64);
        }
    }
}

// Whatever comes, the reader reads no more than its budget, and a refused
// reply holds nothing.
TEST(HttpReplyReader, ReadsNoMoreThanItsBudget)
{
    // Chunks of a byte cost six bytes each: the budget ends them long before
    // the body reaches its bound.
    HttpReplyReader reader(1 << 20);
    reader.feed("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    const QByteArray chunks = QByteArray("1\r\nx\r\n").repeated(1000);
    for (int i = 0; i < 10000 && !reader.ended(); ++i)
        reader.feed(chunks);
    EXPECT_EQ(int(reader.state()), int(State::Refused));
    EXPECT_TRUE(reader.refusal().contains("in all")) << reader.refusal().toStdString();
    EXPECT_LE(reader.bytesRead(), reader.readBudget());
    EXPECT_EQ(reader.held(), 0);
}
}

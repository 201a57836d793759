// SPDX-License-Identifier: MIT
#include "temp_folder.h"

#include <zil/error.h>
#include <zil/stream.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace zil;
using zil::test::CTempFolder;
using zil::test::thrown;

namespace {

// Hands out its bytes in chunks with "nothing right now" between them, and sets its end flag
// with the last bytes or (lagging, as wxWidgets' streams do) only on the read after them.
class CScriptedRawStream : public CLaggingEOFInStreamBase {
public:
    CScriptedRawStream(std::string data, size_t chunk, bool lagging)
        : m_data(data), m_chunk(chunk), m_lagging(lagging) {}
    int rawCalls = 0;
    int64_t forcedResult = -2; // when >= -1, what rawReadLax returns instead

    int64_t getLength() override { return int64_t(m_data.size()); }
    bool waitReadable(int) override { return true; }
    void lockRange(int64_t, int64_t) override {}
    void close() override { m_open = false; }
    bool isOpen() override { return m_open; }
    String getURI() override { return L"test://scripted"; }

protected:
    int64_t rawReadLax(void* buffer, int64_t size) override
    {
        ++rawCalls;
        if (forcedResult >= -1)
            return forcedResult;
        if (m_idle = !m_idle; m_idle && m_position < m_data.size())
            return 0;
        const size_t count = std::min({size_t(size), m_chunk, m_data.size() - m_position});
        m_data.copy(static_cast<char*>(buffer), count, m_position);
        m_position += count;
        m_eof = m_lagging ? count == 0 : m_position == m_data.size();
        return int64_t(count);
    }
    int64_t rawReadAvailable(void* buffer, int64_t size) override { return rawReadLax(buffer, size); }
    void rawSeek(int64_t position) override { ++rawCalls, m_position = size_t(position), m_eof = false; }
    int64_t rawGetPosition() override { return int64_t(m_position); }
    bool rawEOF() override { return m_eof; }

private:
    std::string m_data;
    size_t m_chunk, m_position = 0;
    bool m_lagging, m_idle = false, m_eof = false, m_open = true;
};

} // namespace

TEST(StreamLaggingEOF, DeliversEveryByteAndReportsTheEndOnce)
{
    const std::string data = "The quick brown fox jumps over the lazy dog";
    for (bool lagging : {true, false}) {
        for (size_t chunk : {1, 5, 100}) {
            for (int64_t size : {1, 3, 64}) {
                SCOPED_TRACE(::testing::Message() << "lagging " << lagging << " chunk " << chunk << " size "
                                                  << size);
                P<CScriptedRawStream> stream(new CScriptedRawStream(data, chunk, lagging));
                std::string received;
                std::vector<char> buffer(size_t(size), 0);
                // The first read that returns 0 is the end: it must come after the last byte.
                for (int64_t count = -1; count != 0 && received.size() <= data.size();) {
                    ASSERT_FALSE(stream->isEOF()) << "end reported with bytes left";
                    count = stream->read(buffer.data(), size);
                    received.append(buffer.data(), size_t(count));
                }
                EXPECT_EQ(received, data);
                EXPECT_TRUE(stream->isEOF());
                EXPECT_EQ(stream->read(buffer.data(), size), 0);
                stream->seek(int64_t(data.size()) - 2); // clears the end
                EXPECT_FALSE(stream->isEOF());
                stream->readExact(buffer.data(), 1);
                EXPECT_EQ(buffer[0], 'o');
            }
        }
    }
}

TEST(StreamLaggingEOF, EmptySizesDoNotTouchTheRawStreamFailuresCarryCodeAndURI)
{
    char buffer[8];
    P<CScriptedRawStream> empty(new CScriptedRawStream("abc", 10, true));
    for (int64_t size : {int64_t(0), int64_t(-1), INT64_MIN}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(empty->read(buffer, size), 0);
        EXPECT_EQ(empty->readAvailable(buffer, size), 0);
        EXPECT_NO_THROW(empty->readExact(buffer, size));
        EXPECT_FALSE(empty->isEOF());
    }
    EXPECT_EQ(empty->rawCalls, 0);
    empty->close();
    EXPECT_EQ(empty->read(buffer, 0), 0) << "asking a closed stream for nothing is no error";

    const struct {
        const char* name;
        int64_t forcedResult, readExact;
        CIOError::Code code;
    } cases[] = {{"past the end", -2, 5, CIOError::codeEndOfStream},
                 {"raw read fails", -1, 0, CIOError::codeReadError},
                 {"raw read overruns", 9, 0, CIOError::codeReadError}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        P<CScriptedRawStream> stream(new CScriptedRawStream("abc", 2, true));
        stream->forcedResult = c.forcedResult;
        const CIOError e = thrown<CIOError>(
            [&] { c.readExact ? stream->readExact(buffer, c.readExact) : void(stream->read(buffer, 8)); });
        EXPECT_EQ(e.getCode(), c.code) << e.getFullText().toUTF8();
        EXPECT_EQ(e.getProp(CIOError::paramURI()), String(L"test://scripted"));
    }
    P<CMemoryInStream> memory(new CMemoryInStream("abc", 3, L"mem://x"));
    const CIOError e = thrown<CIOError>([&] { memory->readExact(buffer, 5); });
    EXPECT_TRUE(e.getMessage().Contains(L"3 of 5")) << e.what();
    EXPECT_EQ(e.getProp(CIOError::paramURI()), String(L"mem://x"));
}

TEST(StreamBufferSlice, BoundsAreCheckedWithoutOverflow)
{
    const CByteBuffer buffer(reinterpret_cast<const uint8_t*>("0123456789"), 10);
    const TConstBufferSlice<uint8_t> whole(buffer);
    EXPECT_EQ(whole.slice(3, 4).data(), buffer.data() + 3);
    EXPECT_EQ(whole.slice(10, 0).size(), 0u);
    for (auto [offset, count] : {std::pair<size_t, size_t>{11, 0}, {5, 6}, {2, SIZE_MAX}, {SIZE_MAX, 2}})
        EXPECT_THROW(whole.slice(offset, count), CInvalidArgError) << offset << "+" << count;
    EXPECT_THROW(whole.slice(3, 4).slice(2, 3), CInvalidArgError);
}

TEST(StreamFile, OpenFailuresThenWriteSeekLengthAndReadBack)
{
    CTempFolder tmp;
    const String missing = (tmp / L"missing/file.bin").str();
    for (bool output : {false, true}) {
        SCOPED_TRACE(output ? "out" : "in");
        const CIOError e = thrown<CIOError>([&] {
            output ? void(P<CFileOutStream>(new CFileOutStream(missing)))
                   : void(P<CFileInStream>(new CFileInStream(missing)));
        });
        EXPECT_EQ(e.getCode(), CIOError::codeCannotOpen);
        EXPECT_EQ(e.getProp(L"path"), missing);
        EXPECT_EQ(e.getProp(L"lastSysError"), toString(int64_t(ENOENT)));
        EXPECT_TRUE(e.getMessage().Contains(missing)) << e.what();
    }

    const String path = (tmp / L"data bin").str();
    P<CFileOutStream> out(new CFileOutStream(path));
    out->write("hello world", 11);
    out->seek(6);
    const CByteBuffer world(reinterpret_cast<const uint8_t*>("WORLD"), 5);
    P<IWriteBarrier> barrier = out->createWriteBarrier();
    out->writeKeepBuffer(world, barrier.get());
    barrier->waitUntilWritten();
    EXPECT_EQ(tmp.read(L"data bin"), "hello WORLD");
    out->setLength(5);
    out->setLength(7);
    EXPECT_EQ(tmp.read(L"data bin"), std::string("hello\0\0", 7));
    EXPECT_EQ(thrown<CIOError>([&] { out->seek(-3); }).getCode(), CIOError::codeSeekFailed);
    out->close();
    out->close();
    using Operation = void (*)(IOutStream&);
    const Operation whenClosed[] = {[](IOutStream& s) { s.write("x", 1); }, [](IOutStream& s) { s.seek(0); },
                                    [](IOutStream& s) { s.setLength(0); }, [](IOutStream& s) { s.flush(); }};
    for (Operation operation : whenClosed) {
        const CIOError e = thrown<CIOError>([&] { operation(*out); });
        EXPECT_EQ(e.getCode(), 10) << "closed";
        EXPECT_EQ(e.getProp(L"path"), path);
    }

    P<CFileInStream> in(new CFileInStream(path));
    EXPECT_EQ(in->getLength(), 7);
    EXPECT_TRUE(in->getURI().EndsWith(L"/data%20bin")) << in->getURI().toUTF8();
    in->seek(2);
    char buffer[4];
    in->readExact(buffer, 3);
    EXPECT_EQ(std::string(buffer, 3), "llo");
    in->close();
    EXPECT_EQ(thrown<CIOError>([&] { in->read(buffer, 1); }).getCode(), 10);

    P<CFileOutStream> appender(new CFileOutStream(path, CFileOutStream::openAppend));
    appender->seek(0);
    appender->write("!", 1);
    appender->close();
    EXPECT_EQ(tmp.read(L"data bin"), std::string("hello\0\0!", 8)) << "appends whatever the position";
}

TEST(StreamFile, PipeWithShortWritesLosesNothing)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    // Non-blocking, so the kernel takes only what fits and write() has to loop and wait.
    ::fcntl(fds[1], F_SETFL, ::fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    P<CFileInStream> in = CFileInStream::adopt(fds[0], L"pipe:in");
    P<CFileOutStream> out = CFileOutStream::adopt(fds[1], L"pipe:out");
    char byte;
    EXPECT_EQ(in->readAvailable(&byte, 1), 0);
    EXPECT_FALSE(in->isEOF());
    EXPECT_FALSE(in->waitReadable(20));
    EXPECT_EQ(thrown<CIOError>([&] { in->seek(0); }).getCode(), CIOError::codeSeekFailed);

    std::vector<uint8_t> data(1 << 20), received(data.size());
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7 + i / 251);
    std::thread writer([&] {
        EXPECT_NO_THROW(out->write(data.data(), int64_t(data.size())));
        out->close();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // so the writer meets a full pipe
    EXPECT_NO_THROW(in->readExact(received.data(), int64_t(received.size())));
    writer.join();
    EXPECT_TRUE(received == data);
    EXPECT_EQ(in->read(&byte, 1), 0);
    EXPECT_TRUE(in->isEOF());
}

TEST(StreamFile, LockedRangesConflictAcrossStreams)
{
    CTempFolder tmp;
    const String path = (tmp / L"locked").str();
    P<CFileOutStream> first(new CFileOutStream(path));
    P<CFileOutStream> second(new CFileOutStream(path, CFileOutStream::openUpdate));
    P<CFileInStream> reader(new CFileInStream(path));
    first->lockRange(0, 100);
    const struct {
        bool reader;
        int64_t offset, length; // length 0: to the end
        bool conflicts;
    } cases[] = {{false, 50, 10, true}, {true, 0, 1, true}, {false, 99, 0, true}, {false, 100, 10, false},
                 {true, 200, 10, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.reader ? "read " : "write ") << c.offset << "+" << c.length);
        auto lock = [&] {
            c.reader ? reader->lockRange(c.offset, c.length) : second->lockRange(c.offset, c.length);
        };
        if (!c.conflicts) {
            EXPECT_NO_THROW(lock());
            continue;
        }
        const CIOError e = thrown<CIOError>(lock);
        EXPECT_EQ(e.getCode(), CIOError::codeLockNotSupported);
        EXPECT_TRUE(e.getMessage().Contains(L"locked elsewhere")) << e.what();
        EXPECT_EQ(e.getProp(L"path"), path);
    }
    first->close();
    EXPECT_NO_THROW(second->lockRange(0, 50)) << "closing gives the range back";
}

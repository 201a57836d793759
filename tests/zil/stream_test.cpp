// SPDX-License-Identifier: MIT
#include <zil/error.h>
#include <zil/stream.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace zil;

namespace {

// A raw source that hands out its bytes in chunks, says "nothing right now" between them,
// and sets its end flag either together with the last bytes or only on the read after
// them, as wxWidgets' streams do.
class CScriptedRawStream : public CLaggingEOFInStreamBase {
public:
    CScriptedRawStream(std::string data, size_t chunk, bool lagging)
        : m_data(std::move(data)), m_chunk(chunk), m_lagging(lagging)
    {
    }

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
        // Every other call finds nothing yet.
        if (m_idle = !m_idle; m_idle && m_position < m_data.size())
            return 0;
        const size_t count = std::min({size_t(size), m_chunk, m_data.size() - m_position});
        m_data.copy(static_cast<char*>(buffer), count, m_position);
        m_position += count;
        m_eof = m_lagging ? count == 0 : m_position == m_data.size();
        return int64_t(count);
    }
    int64_t rawReadAvailable(void* buffer, int64_t size) override
    {
        return rawReadLax(buffer, size);
    }
    void rawSeek(int64_t position) override
    {
        ++rawCalls;
        m_position = size_t(position);
        m_eof = false;
    }
    int64_t rawGetPosition() override { return int64_t(m_position); }
    bool rawEOF() override { return m_eof; }

private:
    std::string m_data;
    size_t m_chunk;
    bool m_lagging;
    size_t m_position = 0;
    bool m_idle = false;
    bool m_eof = false;
    bool m_open = true;
};

class TempDir {
public:
    TempDir()
    {
        std::string pattern = ::testing::TempDir() + "zil-stream-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempDir() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    String file(const std::string& name) const { return String::fromUTF8(m_path + "/" + name); }

private:
    std::string m_path;
};

std::string readFile(const String& path)
{
    std::ifstream in(path.toUTF8(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

template <class F>
CIOError catchIOError(F&& operation)
{
    try {
        operation();
    } catch (const CIOError& e) {
        return e;
    }
    ADD_FAILURE() << "no CIOError";
    return CIOError(L"none");
}

} // namespace

TEST(StreamLaggingEOF, DeliversEveryByteAndReportsTheEndOnce)
{
    const std::string data = "The quick brown fox jumps over the lazy dog";
    for (bool lagging : {true, false}) {
        for (size_t chunk : {size_t(1), size_t(5), size_t(100)}) {
            for (int64_t bufferSize : {1, 3, 64}) {
                SCOPED_TRACE(::testing::Message() << "lagging " << lagging << " chunk " << chunk
                                                  << " buffer " << bufferSize);
                P<CScriptedRawStream> stream(new CScriptedRawStream(data, chunk, lagging));
                std::string received;
                std::vector<char> buffer(static_cast<size_t>(bufferSize));
                int ends = 0;
                for (int reads = 0; reads < 1000 && ends < 1; ++reads) {
                    ASSERT_FALSE(stream->isEOF()) << "end reported with bytes left";
                    const int64_t count = stream->read(buffer.data(), bufferSize);
                    if (count == 0)
                        ++ends;
                    received.append(buffer.data(), size_t(count));
                }
                EXPECT_EQ(received, data);
                EXPECT_EQ(ends, 1);
                EXPECT_TRUE(stream->isEOF());
                EXPECT_EQ(stream->read(buffer.data(), bufferSize), 0);

                // A seek clears the end; what follows is read again.
                stream->seek(int64_t(data.size()) - 2);
                EXPECT_FALSE(stream->isEOF());
                char tail[2];
                stream->readExact(tail, 2);
                EXPECT_EQ(std::string(tail, 2), data.substr(data.size() - 2));
            }
        }
    }
}

TEST(StreamLaggingEOF, EmptySizesDoNotTouchTheRawStream)
{
    P<CScriptedRawStream> stream(new CScriptedRawStream("abc", 10, true));
    char buffer[4];
    for (int64_t size : {int64_t(0), int64_t(-1), INT64_MIN}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(stream->read(buffer, size), 0);
        EXPECT_EQ(stream->readAvailable(buffer, size), 0);
        EXPECT_NO_THROW(stream->readExact(buffer, size));
        EXPECT_FALSE(stream->isEOF());
    }
    EXPECT_EQ(stream->rawCalls, 0);
    // Even once closed, asking for nothing is not an error.
    stream->close();
    EXPECT_EQ(stream->read(buffer, 0), 0);
}

TEST(StreamLaggingEOF, FailuresCarryCodeAndURI)
{
    char buffer[8];
    const struct {
        const char* name;
        int64_t forcedResult;
        bool close;
        int64_t readExact;
        CIOError::Code code;
    } cases[] = {
        {"past the end", -2, false, 5, CIOError::codeEndOfStream},
        {"raw read fails", -1, false, 0, CIOError::codeReadError},
        {"raw read overruns", 9, false, 0, CIOError::codeReadError},
        {"closed", -2, true, 0, CIOError::codeClosed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        P<CScriptedRawStream> stream(new CScriptedRawStream("abc", 2, true));
        stream->forcedResult = c.forcedResult;
        if (c.close)
            stream->close();
        const CIOError e = catchIOError([&] {
            if (c.readExact)
                stream->readExact(buffer, c.readExact);
            else
                stream->read(buffer, 8);
        });
        EXPECT_EQ(e.getCode(), c.code) << e.getFullText().toUTF8();
        EXPECT_EQ(e.getProp(CIOError::paramURI()), String(L"test://scripted"));
    }

    P<CMemoryInStream> memory(new CMemoryInStream("abc", 3, L"mem://x"));
    const CIOError e = catchIOError([&] { memory->readExact(buffer, 5); });
    EXPECT_EQ(e.getCode(), CIOError::codeEndOfStream);
    EXPECT_TRUE(e.getMessage().Contains(L"3 of 5")) << e.what();
    EXPECT_EQ(e.getProp(CIOError::paramURI()), String(L"mem://x"));
    EXPECT_THROW(memory->seek(-1), CIOError);
}

TEST(StreamBufferSlice, BoundsAreChecked)
{
    const CByteBuffer buffer(reinterpret_cast<const uint8_t*>("0123456789"), 10);
    const TConstBufferSlice<uint8_t> whole(buffer);
    const struct {
        size_t offset, count;
        bool valid;
    } cases[] = {
        {0, 10, true}, {10, 0, true},  {3, 4, true},  {11, 0, false},
        {5, 6, false}, {2, SIZE_MAX, false}, {SIZE_MAX, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.offset << "+" << c.count);
        if (!c.valid) {
            EXPECT_THROW(whole.slice(c.offset, c.count), CInvalidArgError);
            continue;
        }
        const auto part = whole.slice(c.offset, c.count);
        EXPECT_EQ(part.size(), c.count);
        EXPECT_EQ(part.data(), buffer.data() + c.offset);
    }
    EXPECT_THROW(whole.slice(3, 4).slice(2, 3), CInvalidArgError);
    EXPECT_THROW(TConstBufferSlice<uint8_t>(nullptr, 1), CInvalidArgError);
}

TEST(StreamFile, OpenFailuresNameThePath)
{
    TempDir dir;
    const String missing = dir.file("missing/file.bin");
    for (bool output : {false, true}) {
        SCOPED_TRACE(output ? "out" : "in");
        const CIOError e = catchIOError([&] {
            if (output)
                P<CFileOutStream>(new CFileOutStream(missing));
            else
                P<CFileInStream>(new CFileInStream(missing));
        });
        EXPECT_EQ(e.getCode(), CIOError::codeCannotOpen);
        EXPECT_EQ(e.getProp(L"path"), missing);
        EXPECT_EQ(e.getProp(L"func"), String(L"open"));
        EXPECT_EQ(e.getProp(L"lastSysError"), toString(int64_t(ENOENT)));
        EXPECT_TRUE(e.getMessage().Contains(missing)) << e.what();
        EXPECT_TRUE(e.getProp(CIOError::paramURI()).StartsWith(L"file:///")) << e.getFullText().toUTF8();
    }
}

TEST(StreamFile, WriteSeekLengthAndReadBack)
{
    TempDir dir;
    const String path = dir.file("data bin");
    P<CFileOutStream> out(new CFileOutStream(path));
    out->write("hello world", 11);
    EXPECT_EQ(out->getPosition(), 11);
    out->seek(6);
    const CByteBuffer replacement(reinterpret_cast<const uint8_t*>("WORLD!"), 6);
    P<IWriteBarrier> barrier = out->createWriteBarrier();
    out->writeKeepBuffer(TConstBufferSlice<uint8_t>(replacement).slice(0, 5), barrier.get());
    barrier->waitUntilWritten();
    EXPECT_EQ(readFile(path), "hello WORLD");
    out->setLength(5);
    EXPECT_EQ(out->getLength(), 5);
    out->setLength(7);
    EXPECT_EQ(readFile(path), std::string("hello\0\0", 7));
    EXPECT_EQ(catchIOError([&] { out->seek(-3); }).getCode(), CIOError::codeSeekFailed);
    out->close();
    out->close();

    for (const auto& [name, operation] : std::vector<std::pair<const char*, std::function<void()>>>{
             {"write", [&] { out->write("x", 1); }},
             {"seek", [&] { out->seek(0); }},
             {"setLength", [&] { out->setLength(0); }},
             {"flush", [&] { out->flush(); }},
         }) {
        SCOPED_TRACE(name);
        const CIOError e = catchIOError(operation);
        EXPECT_EQ(e.getCode(), CIOError::codeClosed);
        EXPECT_EQ(e.getProp(L"path"), path);
    }

    P<CFileInStream> in(new CFileInStream(path));
    EXPECT_EQ(in->getLength(), 7);
    EXPECT_TRUE(in->getURI().EndsWith(L"/data%20bin")) << in->getURI().toUTF8();
    in->seek(2);
    char buffer[16];
    in->readExact(buffer, 3);
    EXPECT_EQ(std::string(buffer, 3), "llo");
    EXPECT_EQ(in->getPosition(), 5);
    in->seek(100);
    EXPECT_EQ(in->read(buffer, 16), 0);
    EXPECT_TRUE(in->isEOF());
    in->close();
    EXPECT_EQ(catchIOError([&] { in->read(buffer, 1); }).getCode(), CIOError::codeClosed);

    // Append mode writes at the end whatever the position.
    P<CFileOutStream> appender(new CFileOutStream(path, CFileOutStream::openAppend));
    appender->seek(0);
    appender->write("!", 1);
    appender->close();
    EXPECT_EQ(readFile(path), std::string("hello\0\0!", 8));
}

TEST(StreamFile, PipeWithPartialWritesLosesNothing)
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
    EXPECT_EQ(in->getLength(), -1);
    EXPECT_EQ(catchIOError([&] { in->seek(0); }).getCode(), CIOError::codeSeekFailed);

    std::vector<uint8_t> data(1 << 20);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7 + i / 251);
    std::string writeError;
    std::thread writer([&] {
        try {
            out->write(data.data(), int64_t(data.size()));
            out->close();
        } catch (const CError& e) {
            writeError = e.getFullText().toUTF8();
            out->close();
        }
    });
    std::vector<uint8_t> received(data.size());
    // Let the pipe fill up first, so the writer really meets a full pipe.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string readError;
    try {
        in->readExact(received.data(), int64_t(received.size()));
    } catch (const CError& e) {
        readError = e.getFullText().toUTF8();
    }
    writer.join();
    ASSERT_EQ(writeError, "");
    ASSERT_EQ(readError, "");
    EXPECT_TRUE(received == data);
    EXPECT_EQ(in->getPosition(), int64_t(data.size()));
    EXPECT_EQ(in->read(&byte, 1), 0);
    EXPECT_TRUE(in->isEOF());
}

TEST(StreamFile, LockedRangesConflictAcrossStreams)
{
    TempDir dir;
    const String path = dir.file("locked");
    P<CFileOutStream> first(new CFileOutStream(path));
    P<CFileOutStream> second(new CFileOutStream(path, CFileOutStream::openUpdate));
    P<CFileInStream> reader(new CFileInStream(path));
    first->lockRange(0, 100);

    const struct {
        const char* name;
        std::function<void()> lock;
        bool conflicts;
    } cases[] = {
        {"overlapping write lock", [&] { second->lockRange(50, 10); }, true},
        {"read lock inside", [&] { reader->lockRange(0, 1); }, true},
        {"lock to the end over it", [&] { second->lockRange(99, 0); }, true},
        {"disjoint write lock", [&] { second->lockRange(100, 10); }, false},
        {"read lock after both", [&] { reader->lockRange(200, 10); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.conflicts) {
            EXPECT_NO_THROW(c.lock());
            continue;
        }
        const CIOError e = catchIOError(c.lock);
        EXPECT_EQ(e.getCode(), CIOError::codeLockNotSupported);
        EXPECT_TRUE(e.getMessage().Contains(L"locked elsewhere")) << e.what();
        EXPECT_EQ(e.getProp(L"path"), path);
    }
    // Closing gives the range back.
    first->close();
    EXPECT_NO_THROW(second->lockRange(0, 50));
}

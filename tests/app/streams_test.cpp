// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"

#include <zilui/app/streams.h>
#include <zilui/app/xml.h>

#include <wx/fileconf.h>
#include <wx/image.h>
#include <wx/mstream.h>
#include <wx/xml/xml.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

using zil::CIOError;
using zilui::test::thrown;
using Ops = std::vector<std::function<void()>>;

namespace {

// Hands out `data` `chunk` bytes at a time. With `stutter` every other call has "nothing
// now" without EOF; EOF comes with the read that finds nothing (wxWidgets' usual lag) or,
// with `eofEarly`, already with the read of the last bytes.
struct CScriptedInput : wxInputStream {
    CScriptedInput(std::string data, size_t chunk, bool stutter = false, bool eofEarly = false)
        : data(std::move(data)), chunk(chunk), stutter(stutter), eofEarly(eofEarly)
    {
    }
    size_t OnSysRead(void* buffer, size_t size) override
    {
        ++sysReads;
        m_lasterror = failWith;
        if (failWith != wxSTREAM_NO_ERROR || (stutter && (pause = !pause) && pos < data.size()))
            return 0;
        const size_t n = std::min({size, chunk, data.size() - pos});
        pos += data.copy(static_cast<char*>(buffer), n, pos);
        if (n == 0 || (eofEarly && pos == data.size()))
            m_lasterror = wxSTREAM_EOF;
        return n;
    }
    std::string data;
    size_t chunk, pos = 0;
    bool stutter, eofEarly, pause = false;
    int sysReads = 0;
    wxStreamError failWith = wxSTREAM_NO_ERROR;
};

// Takes at most `limit` bytes per write and reports `error` (none by default).
struct CShortOutput : wxOutputStream {
    explicit CShortOutput(size_t limit, wxStreamError error = wxSTREAM_NO_ERROR)
        : limit(limit), error(error)
    {
    }
    bool Close() override { return ++closes, true; }
    size_t OnSysWrite(const void* buffer, size_t size) override
    {
        m_lasterror = error;
        written.append(static_cast<const char*>(buffer), std::min(size, limit));
        return std::min(size, limit);
    }
    size_t limit;
    wxStreamError error;
    std::string written;
    int closes = 0;
};

} // namespace

TEST(WXInStream, LaggingEOFDeliversEveryByteAndTheEndOnce)
{
    const std::string data = "0123456789abcdefghij";
    const std::tuple<size_t, bool, bool> cases[] = {
        {1, false, false}, {7, false, false}, {7, true, false}, {4, false, true}, {64, true, true}};
    for (const auto& [chunk, stutter, eofEarly] : cases) {
        SCOPED_TRACE(testing::Message() << chunk << " stutter " << stutter << " early " << eofEarly);
        zil::P<zil::IInStream> in(
            new zilui::CWXInStream(new CScriptedInput(data, chunk, stutter, eofEarly), zil::CURI()));
        std::string got;
        char buffer[5];
        while (int64_t n = in->read(buffer, sizeof buffer))
            got.append(buffer, size_t(n));
        EXPECT_EQ(got, data);
        EXPECT_TRUE(in->isEOF());
        EXPECT_EQ(in->read(buffer, sizeof buffer), 0);
    }
}

TEST(WXInStream, EdgeSizesAndFailures)
{
    auto* raw = new CScriptedInput("abc", 3);
    zil::P<zilui::CWXInStream> in(new zilui::CWXInStream(raw, zil::CURI(L"mem://x")));
    char buffer[4];
    for (int64_t size : {int64_t(0), int64_t(-1), INT64_MIN}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(in->read(buffer, size), 0);
        EXPECT_EQ(in->readAvailable(buffer, size), 0);
        EXPECT_NO_THROW(in->readExact(buffer, size));
    }
    EXPECT_EQ(raw->sysReads, 0);

    raw->failWith = wxSTREAM_READ_ERROR;
    CIOError e = thrown<CIOError>([&] { in->read(buffer, 4); });
    EXPECT_EQ(e.getCode(), CIOError::codeReadError);
    EXPECT_EQ(e.getProp(CIOError::paramURI()), L"mem://x");
    e = thrown<CIOError>([&] { in->lockRange(0, 1); });
    EXPECT_EQ(e.getCode(), CIOError::codeLockNotSupported);
    EXPECT_EQ(e.getMessage(), L"lockRange not supported");
    EXPECT_EQ(e.getProp(L"action"), L"CWXInStream::lockRange");

    in->close();
    EXPECT_EQ(in->getWXStream(), nullptr);
    for (auto& op : Ops{[&] { in->read(buffer, 1); }, [&] { in->getLength(); }, [&] { in->seek(0); }})
        EXPECT_EQ(thrown<CIOError>(op).getCode(), CIOError::codeClosed);

    auto* broken = new CScriptedInput("", 1);
    broken->Reset(wxSTREAM_READ_ERROR);
    EXPECT_EQ(thrown<CIOError>([&] { zilui::CWXInStream s(broken, zil::CURI()); }).getCode(),
              CIOError::codeCannotOpen);
}

TEST(WXFileStreams, WriteReadAndOpenFailures)
{
    zil::test::CTempFolder folder;
    const zil::Path file = folder / zil::Path(L"a b.bin");
    zil::P<zil::IOutStream> out(new zilui::CWXFileOutStream(file, true));
    out->write("hello world", 11);
    out->close();
    // Without truncation the old bytes past the new ones stay.
    out = zil::P<zil::IOutStream>(new zilui::CWXFileOutStream(file.str(), false));
    out->write("J", 1);
    out->close();

    zil::P<zilui::CWXFileInStream> in(new zilui::CWXFileInStream(file));
    // The temporary folder's path needs no escaping; the file's name does.
    EXPECT_EQ(in->getURI(), L"file://" + folder.path().str() + L"/a%20b.bin");
    EXPECT_EQ(in->getLength(), 11);
    char buffer[16] = {};
    in->readExact(buffer, 11);
    EXPECT_EQ(std::string(buffer, 11), "Jello world");

    const zil::Path missing = folder / zil::Path(L"no/such/file");
    CIOError e = thrown<CIOError>([&] { zilui::CWXFileOutStream s(missing, true); });
    EXPECT_EQ(e.getCode(), CIOError::codeCannotOpen);
    EXPECT_EQ(e.getProp(L"path"), missing.str());
    EXPECT_EQ(e.getProp(L"func"), L"open");
    EXPECT_EQ(e.getProp(L"lastSysError"), zil::toString(int64_t(ENOENT)));
    for (const zil::Path& bad : {missing, folder.path()}) {
        SCOPED_TRACE(bad.str().toUTF8());
        e = thrown<CIOError>([&] { zilui::CWXFileInStream s(bad); });
        EXPECT_EQ(e.getCode(), CIOError::codeCannotOpen);
        EXPECT_EQ(e.getProp(L"path"), bad.str());
    }
}

TEST(WXOutStream, ShortWritesErrorsAndClosedStream)
{
    CShortOutput shortOut(3);
    zil::P<zilui::CWXOutStream> out(new zilui::CWXOutStream(shortOut, L"mem://out"));
    out->write("ab", 2);
    out->write("", 0);
    CIOError e = thrown<CIOError>([&] { out->write("cdef", 4); });
    EXPECT_EQ(e.getCode(), CIOError::codeWriteError);
    EXPECT_EQ(e.getProp(CIOError::paramURI()), L"mem://out");
    EXPECT_EQ(shortOut.written, "abcde");
    EXPECT_EQ(thrown<CIOError>([&] { out->setLength(0); }).getCode(), CIOError::codeSetLengthNotSupported);
    EXPECT_EQ(thrown<CIOError>([&] { out->lockRange(0, 0); }).getCode(), CIOError::codeLockNotSupported);

    CShortOutput failing(100, wxSTREAM_WRITE_ERROR);
    zil::P<zilui::CWXOutStream> failOut(new zilui::CWXOutStream(failing, L""));
    e = thrown<CIOError>([&] { failOut->write("x", 1); });
    EXPECT_EQ(e.getCode(), CIOError::codeWriteError);
    EXPECT_FALSE(e.getProps().has(CIOError::paramURI()));

    // A borrowed stream is closed, not deleted (deleting a stack object would crash).
    out->close();
    out->close();
    EXPECT_EQ(shortOut.closes, 1);
    for (auto& op : Ops{[&] { out->write("x", 1); }, [&] { out->flush(); }, [&] { out->setLength(0); },
                        [&] { out->createWriteBarrier(); }})
        EXPECT_EQ(thrown<CIOError>(op).getCode(), CIOError::codeClosed);
}

TEST(InStreamToWXInputStreamAdapter, LoadsAnImageAndSeeks)
{
    wxImage image(5, 3);
    image.SetRGB(4, 2, 10, 20, 30);
    wxMemoryOutputStream png;
    ASSERT_TRUE(image.SaveFile(png, wxBITMAP_TYPE_PNG));
    zil::CByteBuffer bytes(png.GetSize());
    png.CopyTo(bytes.data(), bytes.size());

    zil::P<zil::IInStream> source(new zil::CMemoryInStream(bytes));
    zilui::CInStreamToWXInputStreamAdapter adapter(source);
    wxImage loaded;
    ASSERT_TRUE(loaded.LoadFile(adapter, wxBITMAP_TYPE_ANY));
    EXPECT_EQ(loaded.GetBlue(4, 2), 30);

    const wxFileOffset size = wxFileOffset(bytes.size());
    EXPECT_EQ(adapter.GetLength(), size);
    const std::tuple<wxFileOffset, wxSeekMode, wxFileOffset> cases[] = {
        {1, wxFromStart, 1}, {2, wxFromCurrent, 3}, {-4, wxFromEnd, size - 4},
        {-1, wxFromStart, wxInvalidOffset}};
    for (const auto& [offset, mode, expected] : cases) {
        SCOPED_TRACE(testing::Message() << offset << " mode " << mode);
        EXPECT_EQ(adapter.SeekI(offset, mode), expected);
    }
    char tail[8];
    source->close();
    adapter.Read(tail, 1);
    EXPECT_EQ(adapter.GetLastError(), wxSTREAM_READ_ERROR);
    ASSERT_NE(adapter.getSourceError(), nullptr);
    EXPECT_EQ(adapter.getSourceError()->getCode(), CIOError::codeClosed);
}

// The declared encoding is ignored, also in what was saved.
TEST(XMLHelpers, LoadSaveAndReloadAsUTF8)
{
    const zil::String text = L"<r a=\"Grüße €\"><c>x</c></r>";
    const std::string utf8 = text.toUTF8();
    zil::String widened; // one UTF-8 byte per wide character
    for (unsigned char byte : utf8)
        widened += wchar_t(byte);
    const auto bytes = [](std::string data) {
        return [data](wxXmlDocument& d) {
            zilui::loadXMLDocumentFromUTF8Data(d, data.data(), int(data.size()));
        };
    };
    const std::vector<std::function<void(wxXmlDocument&)>> loaders = {
        [&](wxXmlDocument& d) { zilui::loadXMLDocumentFromString(d, text); },
        [&](wxXmlDocument& d) { zilui::loadXMLDocumentFromBuggyWCharedUTF8String(d, widened); },
        bytes(utf8), bytes("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + utf8),
        bytes("\xEF\xBB\xBF<?xml version='1.0'\n encoding = 'cp1252'?>" + utf8)};
    for (size_t i = 0; i < loaders.size(); ++i) {
        SCOPED_TRACE(i);
        wxXmlDocument doc, again;
        loaders[i](doc);
        ASSERT_TRUE(doc.IsOk());
        EXPECT_EQ(doc.GetRoot()->GetAttribute("a"), wxString(L"Grüße €"));
        const zil::String saved = zilui::saveXMLDocumentToString(doc);
        EXPECT_NE(saved.find(L"\n  <c>x</c>"), zil::String::npos) << saved.toUTF8();
        bytes(saved.toUTF8())(again);
        EXPECT_EQ(zilui::getXMLChildElementContent(again.GetRoot(), L"c", L"-"), L"x");
        EXPECT_EQ(again.GetRoot()->GetAttribute("a"), wxString(L"Grüße €"));
    }
    wxXmlDocument doc; // no UTF-8: refused, not decoded another way
    for (const std::string& bad : {std::string("\xFF\xFE<\0a\0/\0>\0", 10), std::string("<a>\0</a>", 8)})
        EXPECT_THROW(bytes(bad)(doc), zil::CError);
}

TEST(XMLHelpers, FailuresThrowAndValidityNeverThrows)
{
    // wxWidgets reports parse errors itself, which a GUI application shows in a message box.
    zilui::test::CRecordingLog log;
    wxXmlDocument doc;
    for (const char* data : {"", "<a>", "<a></b>", "plain", "<a x=1/>"}) {
        SCOPED_TRACE(data);
        const auto e = thrown(
            [&] { zilui::loadXMLDocumentFromString(doc, zil::String::fromUTF8(data)); });
        EXPECT_EQ(e.getMessage(), L"wxXMLDocument::Load failed");
        EXPECT_EQ(e.getCode(), -1);
        EXPECT_FALSE(zilui::isValidXMLData(zil::String::fromUTF8(data)));
    }
    EXPECT_TRUE(zilui::isValidXMLData(L"<a/>"));
    EXPECT_EQ(log.messages, std::vector<wxString>());

    wxXmlDocument empty;
    const auto e = thrown([&] { zilui::saveXMLDocumentToString(empty); });
    EXPECT_EQ(e.getMessage(), L"wxXMLDocument::Save failed");
    EXPECT_EQ(e.getCode(), -1);
    EXPECT_THROW(zilui::loadXMLDocumentFromUTF8Data(doc, "<a/>", -1), zil::CInvalidArgError);
}

TEST(XMLHelpers, ChildLookupAndElementCopy)
{
    wxXmlDocument doc;
    zilui::loadXMLDocumentFromString(
        doc,
        L"<root z=\"1\" a=\"2\" m=\"3\">text<!-- c --><b>1</b><A/><a k=\"v\"><d>deep</d></a><b>2</b></root>");
    wxXmlNode* root = doc.GetRoot();
    // A text node that bears the name asked for is not an element.
    root->AddChild(new wxXmlNode(wxXML_TEXT_NODE, "t", "not an element"));
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"b", L"1"}, {L"A", L""}, {L"t", L"default"}, {L"B", L"default"}, {L"", L"default"}};
    for (const auto& [name, content] : cases) {
        SCOPED_TRACE(zil::String(name).toUTF8());
        EXPECT_EQ(zilui::getXMLChildElementContent(root, name, L"default"), content);
    }
    EXPECT_EQ(zilui::findXMLChildElement(nullptr, L"a"), nullptr);

    zil::P<zilui::CXMLElementFromWX> element(new zilui::CXMLElementFromWX(root));
    EXPECT_EQ(element->getContent(), L"text");
    std::vector<zil::String> keys, names;
    for (const auto& entry : element->getProps())
        keys.push_back(entry.first);
    for (const auto& child : element->getChildren())
        names.push_back(child->getName());
    EXPECT_EQ(keys, (std::vector<zil::String>{L"z", L"a", L"m"}));
    EXPECT_EQ(names, (std::vector<zil::String>{L"b", L"A", L"a", L"b"}));
    EXPECT_EQ(element->getChildren()[2]->getChildContent(L"d"), L"deep");

    // Assigning another node replaces everything.
    *element = zilui::findXMLChildElement(root, L"a");
    EXPECT_EQ(element->getProps().size(), 1u);
    EXPECT_EQ(element->getChildren().size(), 1u);
    EXPECT_THROW(zilui::CXMLElementFromWX(nullptr), zil::CInvalidArgError);
}

TEST(ReadConfigFile, RefusesWhatWxFileConfigCannotHoldNamingFileAndLine)
{
    zil::test::CTempFolder folder;
    const std::pair<std::string, std::string> cases[] = {
        {"a=1\n \t= x\n", "Entry without a name in '%s', line 2."},
        {std::string("\xFF\xFE\0\0a\0\0\0=\0\0\0\0\0\x11\0", 16),
         "Invalid character U+110000 in '%s', line 1."},
        {"a=\xED\xA0\x80\n", "Invalid character U+D800 in '%s', line 1."},
        {"a=1\r=2\r\n", "Entry without a name in '%s', line 2."},
        {"a=1\n\\ =2\n", "Entry without a name in '%s', line 2."},
        {"[g]\r\n[h/i]\n[/g/./h/..]\n", "Second section of group 'g' in '%s', line 3."},
        {"[P]\n[/p]u\n", "Second section of group 'p' in '%s', line 2."},
        {"[b]x\n[b/a/./.]\n", "Second section of group 'b' in '%s', line 2."},
        {"[.x]\n[.//x]\n", "Second section of group '.x' in '%s', line 2."}};
    for (auto [bytes, expected] : cases) {
        const zil::Path file = folder.writeFile(L"c.ini", bytes);
        expected.replace(expected.find("%s"), 2, file.str().toUTF8());
        EXPECT_EQ(
            thrown<zil::CParseError>([&] { zilui::readConfigFile(file, L"t"); }).getMessage().toUTF8(),
            expected);
    }
    EXPECT_NO_THROW(zilui::readConfigFile(folder.writeFile(L"c.ini", "; =c\na = =\n[h/i]\n[h]\n"), L"t"));
}

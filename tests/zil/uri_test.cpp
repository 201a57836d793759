// SPDX-License-Identifier: MIT
#include <zil/error.h>
#include <zil/uri.h>

#include <gtest/gtest.h>

using zil::CURI;
using zil::Path;
using zil::String;

TEST(URIParse, SchemesPathsAndCanonicalText)
{
    const struct {
        const wchar_t* text;
        const wchar_t* scheme;
        const wchar_t* path;
        const wchar_t* canonical;
    } cases[] = {
        {L"file:///home/x/a%20b", L"file", L"/home/x/a b", L"file:///home/x/a%20b"},
        {L"/home/x/a b", L"file", L"/home/x/a b", L"file:///home/x/a%20b"},
        {L"FILE://localhost/tmp/%c3%a9", L"file", L"/tmp/\u00E9", L"file:///tmp/%C3%A9"},
        {L"file:/etc/passwd", L"file", L"/etc/passwd", L"file:///etc/passwd"},
        {L"file://", L"file", L"/", L"file:///"},
        {L"/tmp/100%", L"file", L"/tmp/100%", L"file:///tmp/100%25"}, // plain paths are literal
        {L"/tmp/x#y?z", L"file", L"/tmp/x#y?z", L"file:///tmp/x%23y%3Fz"},
        {L"file:///tmp/x#y", L"file", L"/tmp/x#y", L"file:///tmp/x%23y"},
        {L"smb://host/share/f%20g", L"smb", L"/share/f g", L"smb://host/share/f%20g"},
        {L"HTTP://Host/a?q=%41#frag", L"http", L"/a", L"http://Host/a?q=%41#frag"},
        {L"sftp://user@host", L"sftp", L"", L"sftp://user@host"},
        {L"", L"", L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(String(c.text).toUTF8());
        const CURI uri(c.text);
        EXPECT_EQ(uri.getScheme(), String(c.scheme));
        EXPECT_EQ(uri.getPath(), String(c.path));
        EXPECT_EQ(uri.toString(), String(c.canonical));
        EXPECT_EQ(CURI(uri.toString()), uri) << "canonical text must read back the same";
        EXPECT_EQ(uri.isLocal(), String(c.scheme) == L"file");
        EXPECT_EQ(uri.isEmpty(), String(c.text).isEmpty());
    }
}

TEST(URIParse, RelativePlainPathsBecomeAbsolute)
{
    const Path cwd(zil::getCurrentWorkDirectoryAsString());
    // "a:b" has a scheme-like start but no ":/", so it is a file name
    for (const wchar_t* relative : {L"a b", L"a:b", L"x/../y"}) {
        SCOPED_TRACE(String(relative).toUTF8());
        EXPECT_EQ(CURI(relative).getLocalPath(), cwd / relative);
        EXPECT_EQ(CURI::fromPath(relative), CURI(relative));
    }
    EXPECT_TRUE(CURI::fromPath(Path()).isEmpty());
}

TEST(URIRoundTrip, SpacesPercentSignsAndNonASCII)
{
    for (const wchar_t* name : {L"/tmp/a b/c d", L"/tmp/50% off/%41", L"/t/\u00E9t\u00E9 \u65E5\u672C/\U0001F600",
                                 L"/a+b=c&d;e,f'g(h)", L"/tmp/%2F%"}) {
        SCOPED_TRACE(String(name).toUTF8());
        const CURI uri = CURI::fromPath(name);
        const String text = uri.toString();
        EXPECT_TRUE(text.StartsWith(L"file:///")) << text.toUTF8();
        EXPECT_EQ(text.find(L' '), String::npos);
        for (wchar_t c : text)
            EXPECT_LT(c, 0x80) << "canonical text must be ASCII: " << text.toUTF8();
        EXPECT_EQ(CURI(text).getLocalPath(), Path(name));
    }
}

TEST(URIParse, BadEscapesAndForeignHostsNameTheText)
{
    for (const wchar_t* bad : {L"file:///a%G1", L"file:///a%2", L"file:///a%", L"smb://h/%zz", L"file:///a%00b",
                               L"file://otherhost/x"}) {
        SCOPED_TRACE(String(bad).toUTF8());
        try {
            CURI uri(bad);
            ADD_FAILURE() << "accepted as " << uri.toString().toUTF8();
        } catch (const zil::CParseError& e) {
            EXPECT_TRUE(e.getMessage().Contains(bad)) << e.what();
            EXPECT_EQ(e.getProp(L"text"), String(bad));
        }
    }
}

TEST(URINavigation, ParentJoinNameAndNormalize)
{
    const CURI file(L"file:///home/x/a%20b");
    EXPECT_EQ(file.getName(), String(L"a b"));
    EXPECT_EQ(file.getParent(), CURI(L"/home/x"));
    EXPECT_EQ(CURI(L"/home").getParent(), CURI(L"/"));
    EXPECT_TRUE(CURI(L"/").getParent().isEmpty());
    EXPECT_TRUE(CURI().getParent().isEmpty());
    EXPECT_EQ(CURI(L"/").getName(), String());
    EXPECT_EQ(CURI(L"/home").join(L"x y/z%").toString(), String(L"file:///home/x%20y/z%25"));
    EXPECT_EQ(CURI(L"/").join(L"etc"), CURI(L"/etc"));
    EXPECT_EQ(CURI(L"/a/./b/../c").normalize(), CURI(L"/a/c"));
    EXPECT_EQ(CURI(L"/../..").normalize(), CURI(L"/"));

    const CURI smb(L"smb://host/share/dir/f%20g?x=1");
    EXPECT_EQ(smb.getName(), String(L"f g"));
    EXPECT_EQ(smb.getParent().toString(), String(L"smb://host/share/dir"));
    EXPECT_EQ(smb.getParent().join(L"h i").toString(), String(L"smb://host/share/dir/h%20i"));
    EXPECT_EQ(CURI(L"smb://host/share").getParent().toString(), String(L"smb://host/"));
    EXPECT_TRUE(CURI(L"smb://host/").getParent().isEmpty());
    EXPECT_EQ(CURI(L"smb://host").join(L"share").toString(), String(L"smb://host/share"));
    EXPECT_EQ(CURI(L"smb://host/a/../b/./c?q").normalize().toString(), String(L"smb://host/b/c?q"));

    for (const wchar_t* name : {L"", L"/abs"})
        EXPECT_THROW(file.join(name), zil::CInvalidArgError) << String(name).toUTF8();
    EXPECT_THROW(CURI().join(L"x"), zil::CInvalidArgError);
}

TEST(URILocalPath, OnlyForFileURIs)
{
    EXPECT_EQ(CURI(L"file:///a/b").getLocalPath(), Path(L"/a/b"));
    for (const wchar_t* text : {L"smb://host/share", L""}) {
        SCOPED_TRACE(String(text).toUTF8());
        try {
            CURI(text).getLocalPath();
            ADD_FAILURE() << "no error";
        } catch (const zil::CInvalidArgError& e) {
            EXPECT_TRUE(e.getMessage().Contains(String(L"'") + text + L"'")) << e.what();
        }
    }
}

TEST(URICompare, OrdersByCanonicalText)
{
    EXPECT_EQ(CURI(L"/a b"), CURI(L"file:///a%20b"));
    EXPECT_EQ(CURI(L"file:///a%2a"), CURI(L"file:///a*"));
    EXPECT_NE(CURI(L"/a"), CURI(L"/a/"));
    EXPECT_TRUE(CURI(L"/a") < CURI(L"/b") && !(CURI(L"/b") < CURI(L"/a")));
}

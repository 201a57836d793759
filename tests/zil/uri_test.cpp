// SPDX-License-Identifier: MIT
#include "temp_folder.h"

#include <zil/error.h>
#include <zil/uri.h>

#include <gtest/gtest.h>

using zil::CURI;
using zil::Path;
using zil::String;
using zil::test::thrown;

TEST(URIParse, SchemesPathsAndCanonicalTextThatRoundTrips)
{
    const struct {
        const wchar_t *text, *scheme, *path, *canonical;
    } cases[] = {
        {L"/home/x/a b", L"file", L"/home/x/a b", L"file:///home/x/a%20b"},
        {L"FILE://localhost/tmp/%c3%a9", L"file", L"/tmp/\u00E9", L"file:///tmp/%C3%A9"},
        {L"file:/etc/passwd", L"file", L"/etc/passwd", L"file:///etc/passwd"},
        {L"file:///a%2a", L"file", L"/a*", L"file:///a%2A"},
        {L"/tmp/100%", L"file", L"/tmp/100%", L"file:///tmp/100%25"}, // plain paths are literal
        {L"/tmp/x#y?z", L"file", L"/tmp/x#y?z", L"file:///tmp/x%23y%3Fz"},
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
    }
    // "a:b" has a scheme-like start but no ":/", so it is a file name.
    const Path cwd(zil::getCurrentWorkDirectoryAsString());
    for (const wchar_t* relative : {L"a b", L"a:b"})
        EXPECT_EQ(CURI(relative).getLocalPath(), cwd / relative) << String(relative).toUTF8();

    for (const wchar_t* name :
         {L"/tmp/a b/c d", L"/tmp/50% off/%41", L"/t/\u00E9t\u00E9 \u65E5\u672C/\U0001F600",
          L"/a+b=c&d;e,f'g(h)", L"/tmp/%2F%"}) {
        SCOPED_TRACE(String(name).toUTF8());
        const String text = CURI::fromPath(name).toString();
        for (wchar_t c : text)
            EXPECT_TRUE(c > L' ' && c < 0x80)
                << "canonical text must be ASCII without spaces: " << text.toUTF8();
        EXPECT_EQ(CURI(text).getLocalPath(), Path(name));
    }
}

TEST(URIParse, BadEscapesForeignHostsAndNonLocalPathsNameTheText)
{
    for (const wchar_t* bad :
         {L"file:///a%G1", L"file:///a%2", L"file:///a%", L"smb://h/%zz", L"file:///a%00b",
          L"file://otherhost/x", L"file://?", L"file://#x", L"file://a?"}) {
        SCOPED_TRACE(String(bad).toUTF8());
        const auto e = thrown<zil::CParseError>([&] { CURI uri(bad); });
        EXPECT_TRUE(e.getMessage().Contains(bad)) << e.what();
        EXPECT_EQ(e.getProp(L"text"), String(bad));
    }
    for (const wchar_t* text : {L"smb://host/share", L""}) {
        const auto e = thrown<zil::CInvalidArgError>([&] { CURI(text).getLocalPath(); });
        EXPECT_TRUE(e.getMessage().Contains(String(L"'") + text + L"'")) << e.what();
    }
    const String nul(L"/a\0b", 4); // refused up front, so no URI has a text form that does not parse
    for (const String& text : {nul, L"file://" + nul, L"smb://h" + nul})
        EXPECT_THROW(CURI uri(text), zil::CParseError);
    EXPECT_THROW(CURI::fromPath(zil::Path(nul)), zil::CInvalidArgError);
    EXPECT_THROW(CURI(L"smb://h/a").join(String(L"b\0", 2)), zil::CInvalidArgError);
    for (const wchar_t* text : {L"file:///?", L"/?x#"})
        EXPECT_EQ(CURI(CURI(text).toString()), CURI(text));
}

TEST(URINavigation, ParentJoinNameAndNormalize)
{
    const CURI file(L"file:///home/x/a%20b");
    EXPECT_EQ(file.getName(), String(L"a b"));
    EXPECT_EQ(file.getParent(), CURI(L"/home/x"));
    EXPECT_TRUE(CURI(L"/").getParent().isEmpty());
    EXPECT_EQ(CURI(L"/home").join(L"x y/z%").toString(), String(L"file:///home/x%20y/z%25"));
    EXPECT_EQ(CURI(L"/../..").normalize(), CURI(L"/"));
    // A joined local URI is the one made from the joined path, at the root, with a trailing
    // separator and with names that need escaping.
    for (const wchar_t* folder : {L"/", L"/home", L"/home/", L"/a b%"})
        for (const wchar_t* name : {L"x", L"x y/z%", L"\u00fc#?"}) {
            SCOPED_TRACE(String(folder).toUTF8() + " + " + String(name).toUTF8());
            const CURI joined = CURI(folder).join(name);
            const CURI expected = CURI::fromPath(zil::Path(folder).join(zil::Path(name)));
            EXPECT_EQ(joined.toString(), expected.toString());
            EXPECT_EQ(joined.getPath(), expected.getPath());
            EXPECT_EQ(joined, CURI(expected.toString()));
        }

    EXPECT_EQ(CURI(L"smb://host/share/dir/f%20g?x=1").getParent().join(L"h i").toString(),
              String(L"smb://host/share/dir/h%20i"));
    EXPECT_EQ(CURI(L"smb://host/share").getParent().toString(), String(L"smb://host/"));
    EXPECT_TRUE(CURI(L"smb://host/").getParent().isEmpty());
    EXPECT_EQ(CURI(L"smb://host/a/../b/./c?q").normalize().toString(), String(L"smb://host/b/c?q"));
    for (const wchar_t* name : {L"", L"/abs"})
        EXPECT_THROW(file.join(name), zil::CInvalidArgError) << String(name).toUTF8();
}

// SPDX-License-Identifier: MIT
#include <zil/error.h>
#include <zil/xml.h>

#include <gtest/gtest.h>

using zil::CXMLElement;
using zil::P;
using zil::String;

namespace {

P<CXMLElement> makeElement(const String& name, const String& content = String())
{
    P<CXMLElement> e(new CXMLElement(name));
    e->setContent(content);
    return e;
}

} // namespace

TEST(XMLElement, FindsTheFirstChildOfAName)
{
    const auto root = makeElement(L"root");
    root->addChild(makeElement(L"item", L"one"));
    root->addChild(makeElement(L"Item", L"case"));
    root->addChild(makeElement(L"item", L"two"));
    root->addChild(makeElement(L"empty"));

    EXPECT_EQ(root->getChildContent(L"item"), String(L"one"));
    EXPECT_EQ(root->getChildContent(L"Item"), String(L"case"));
    EXPECT_EQ(root->getChildContent(L"ITEM", L"default"), String(L"default"));
    EXPECT_EQ(root->getChildContent(L"empty", L"default"), String()) << "present but empty is not missing";
    EXPECT_EQ(root->findChild(L"missing"), nullptr);
    ASSERT_EQ(root->getChildren().size(), 4u);

    const P<CXMLElement> kept = root->findChild(L"item");
    root->clearChildren();
    EXPECT_EQ(root->findChild(L"item"), nullptr);
    EXPECT_EQ(kept->getContent(), String(L"one")) << "a child held elsewhere outlives clearChildren";
}

TEST(XMLElement, RejectsNullAndCycles)
{
    const auto a = makeElement(L"a");
    const auto b = makeElement(L"b");
    const auto c = makeElement(L"c");
    a->addChild(b);
    b->addChild(c);
    EXPECT_THROW(a->addChild(a), zil::CInvalidArgError);
    EXPECT_THROW(c->addChild(a), zil::CInvalidArgError);
    EXPECT_THROW(a->addChild(nullptr), zil::CInvalidArgError);
    a->addChild(c); // sharing a subtree is not a cycle
    EXPECT_EQ(a->getChildren().size(), 2u);
    EXPECT_EQ(c->getChildren().size(), 0u);
}

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

TEST(XMLElement, FindsFirstChildByExactNameAndRefusesCycles)
{
    const auto root = makeElement(L"root");
    const auto first = makeElement(L"item", L"one");
    root->addChild(first);
    root->addChild(makeElement(L"Item", L"case"));
    root->addChild(makeElement(L"item", L"two"));
    root->addChild(makeElement(L"empty"));
    EXPECT_EQ(root->findChild(L"item"), first);
    EXPECT_EQ(root->getChildContent(L"Item"), String(L"case"));
    EXPECT_EQ(root->getChildContent(L"ITEM", L"default"), String(L"default"));
    EXPECT_EQ(root->getChildContent(L"empty", L"default"), String()) << "present but empty is not missing";

    const auto child = makeElement(L"child");
    first->addChild(child);
    EXPECT_THROW(root->addChild(root), zil::CInvalidArgError);
    EXPECT_THROW(child->addChild(root), zil::CInvalidArgError);
    EXPECT_THROW(root->addChild(nullptr), zil::CInvalidArgError);
    root->addChild(child); // sharing a subtree is not a cycle
    root->clearChildren();
    EXPECT_EQ(root->findChild(L"item"), nullptr);
    EXPECT_EQ(first->getChildren().size(), 1u) << "children held elsewhere survive clearChildren";
}

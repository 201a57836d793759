// SPDX-License-Identifier: MIT
#include <zil/error.h>
#include <zil/xml.h>

#include <gtest/gtest.h>

using zil::CXMLElement;
using zil::P;
using zil::String;

TEST(XMLElement, FindsFirstChildByExactNameAndRefusesCycles)
{
    auto element = [](const String& name, const String& content = String()) {
        P<CXMLElement> e(new CXMLElement(name));
        e->setContent(content);
        return e;
    };
    const auto root = element(L"root"), first = element(L"item", L"one"), child = element(L"child");
    for (const auto& e : {first, element(L"Item", L"case"), element(L"item", L"two"), element(L"empty")})
        root->addChild(e);
    EXPECT_EQ(root->findChild(L"item"), first);
    EXPECT_EQ(root->getChildContent(L"ITEM", L"default"), String(L"default"));
    EXPECT_EQ(root->getChildContent(L"empty", L"default"), String()) << "present but empty is not missing";

    first->addChild(child);
    EXPECT_THROW(root->addChild(root), zil::CInvalidArgError);
    EXPECT_THROW(child->addChild(root), zil::CInvalidArgError);
    EXPECT_THROW(root->addChild(nullptr), zil::CInvalidArgError);
    root->addChild(child); // sharing a subtree is not a cycle
    root->clearChildren();
    EXPECT_EQ(root->findChild(L"item"), nullptr);
    EXPECT_EQ(first->getChildren().size(), 1u) << "children held elsewhere survive clearChildren";
}

// SPDX-License-Identifier: MIT
#include "zil/xml.h"

namespace zil {

bool CXMLElement::contains(const CXMLElement* element) const
{
    if (this == element)
        return true;
    for (const auto& child : m_children)
        if (child->contains(element))
            return true;
    return false;
}

void CXMLElement::addChild(const P<CXMLElement>& child)
{
    if (!child)
        throw CInvalidArgError(L"Cannot add a null child to XML element <" + m_name + L">", L"zil::CXMLElement");
    if (child->contains(this))
        throw CInvalidArgError(L"XML element <" + child->m_name + L"> cannot become a child of itself or of "
                                   L"one of its descendants (<" + m_name + L">)",
                               L"zil::CXMLElement");
    m_children.push_back(child);
}

P<CXMLElement> CXMLElement::findChild(const String& name) const
{
    for (const auto& child : m_children)
        if (child->m_name == name)
            return child;
    return nullptr;
}

String CXMLElement::getChildContent(const String& name, const String& defaultValue) const
{
    const P<CXMLElement> child = findChild(name);
    return child ? child->m_content : defaultValue;
}

} // namespace zil

// SPDX-License-Identifier: MIT
#pragma once

#include "zil/containers.h"
#include "zil/error.h"
#include "zil/object.h"
#include "zil/string.h"

namespace zil {

// One element of an XML document as a tree: name, attributes in document order, text
// content and child elements. A parent owns its children; children do not know their
// parent, so a tree is freed as soon as its root is.
class CXMLElement : public CBase {
public:
    explicit CXMLElement(const String& name = String()) : m_name(name) {}

    const String& getName() const { return m_name; }
    void setName(const String& name) { m_name = name; }

    const CProps& getProps() const { return m_props; }
    CProps& getProps() { return m_props; }
    String getProp(const String& name, const String& defaultValue = String()) const
    {
        return m_props.get(name, defaultValue);
    }
    void setProp(const String& name, const String& value) { m_props.set(name, value); }

    const String& getContent() const { return m_content; }
    void setContent(const String& content) { m_content = content; }

    const TArray<P<CXMLElement>>& getChildren() const { return m_children; }
    // Throws CInvalidArgError for null and for an element that would contain itself, which
    // would never be freed.
    void addChild(const P<CXMLElement>& child);
    void clearChildren() { m_children.clear(); }
    // The first child with exactly this name, or null.
    P<CXMLElement> findChild(const String& name) const;
    // The content of findChild(name), `defaultValue` when there is no such child.
    String getChildContent(const String& name, const String& defaultValue = String()) const;

private:
    bool contains(const CXMLElement* element) const;

    String m_name;
    CProps m_props;
    String m_content;
    TArray<P<CXMLElement>> m_children;
};

} // namespace zil

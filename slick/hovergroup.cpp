// SPDX-License-Identifier: MIT
#include "hovergroup.h"

#include <algorithm>

namespace zilui {

CHoverMember::~CHoverMember()
{
    if (CHoverMembers* group = m_group) {
        leave();
        group->update();
    }
}

void CHoverMember::setOwnHover(bool hover)
{
    if (m_ownHover == hover)
        return;
    m_ownHover = hover;
    if (m_group)
        m_group->update();
    else
        setSharedHover(hover);
}

void CHoverMember::join(CHoverMembers* group)
{
    if (m_group == group)
        return;
    CHoverMembers* old = m_group;
    leave();
    m_group = group;
    if (group)
        group->m_members.push_back(this);
    if (old)
        old->update();
    if (group)
        group->update();
    else
        setSharedHover(m_ownHover);
}

void CHoverMember::setSharedHover(bool hover)
{
    if (m_sharedHover == hover)
        return;
    m_sharedHover = hover;
    m_changed(m_owner);
}

void CHoverMember::leave()
{
    if (!m_group)
        return;
    auto& members = m_group->m_members;
    members.erase(std::remove(members.begin(), members.end(), this), members.end());
    m_group = nullptr;
}

CHoverMembers::~CHoverMembers()
{
    for (CHoverMember* member : m_members)
        member->m_group = nullptr;
}

bool CHoverMembers::anyHovered() const
{
    return std::any_of(m_members.begin(), m_members.end(),
                       [](const CHoverMember* m) { return m->m_ownHover; });
}

void CHoverMembers::update()
{
    const bool hovered = anyHovered();
    // A copy: what a member does when told (a redraw, a cursor) must not cut the walk short.
    for (CHoverMember* member : zil::TArray<CHoverMember*>(m_members))
        member->setSharedHover(hovered);
}

} // namespace zilui

// SPDX-License-Identifier: MIT
#pragma once

#include <zil/containers.h>

namespace zilui {

class CHoverMembers;

// One skinned control's hover: its own (the pointer is over it) and the one it is drawn with,
// which is its group's when it belongs to one (the pointer is over any member). Not a window
// and no template, so that grouping is checked without a display. GUI thread only.
class CHoverMember {
public:
    // Runs when the shared hover flips, never for a member being destroyed.
    using Changed = void (*)(void* owner);

    CHoverMember(void* owner, Changed changed) : m_owner(owner), m_changed(changed) {}
    // Leaves its group; the members that stay are drawn without its hover.
    ~CHoverMember();
    CHoverMember(const CHoverMember&) = delete;
    CHoverMember& operator=(const CHoverMember&) = delete;

    void setOwnHover(bool hover);
    bool getOwnHover() const { return m_ownHover; }
    bool getSharedHover() const { return m_sharedHover; }

    // Moves this member into `group`, out of any other; null leaves. Both groups are drawn
    // anew: the one left may have lost its only hovered member.
    void join(CHoverMembers* group);
    CHoverMembers* getGroup() const { return m_group; }
    void* getOwner() const { return m_owner; }

private:
    friend class CHoverMembers;
    void setSharedHover(bool hover);
    void leave();

    void* m_owner;
    Changed m_changed;
    CHoverMembers* m_group = nullptr;
    bool m_ownHover = false;
    bool m_sharedHover = false;
};

// The members of one hover group, in the order they joined. Holds plain pointers: a member
// leaves when it is destroyed, and a group destroyed first lets its members go.
class CHoverMembers {
public:
    CHoverMembers() = default;
    ~CHoverMembers();
    CHoverMembers(const CHoverMembers&) = delete;
    CHoverMembers& operator=(const CHoverMembers&) = delete;

    const zil::TArray<CHoverMember*>& get() const { return m_members; }
    bool anyHovered() const;
    // Gives every member the group's hover.
    void update();

private:
    friend class CHoverMember;
    zil::TArray<CHoverMember*> m_members;
};

} // namespace zilui

// SPDX-License-Identifier: MIT
#include "../../slick/hovergroup.h"

#include "slick/slicktestutil.h"

#include <zilui/slick/controls.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace zilui;
using namespace zilui::test;

namespace {

// Three members that count how often they were told their shared hover flipped.
struct HoverTrio {
    int told[3] = {0, 0, 0};
    std::unique_ptr<CHoverMembers> groupA{new CHoverMembers()};
    std::unique_ptr<CHoverMembers> groupB{new CHoverMembers()};
    std::unique_ptr<CHoverMember> m[3];

    HoverTrio()
    {
        for (int i = 0; i < 3; ++i)
            m[i].reset(new CHoverMember(&told[i], [](void* count) { ++*static_cast<int*>(count); }));
    }
    void joinAll()
    {
        for (auto& member : m)
            member->join(groupA.get());
    }
    std::string shared() const
    {
        std::string s;
        for (const auto& member : m)
            s += !member ? '-' : member->getSharedHover() ? 'H' : '.';
        return s;
    }
    std::string toldCounts() const
    {
        return std::to_string(told[0]) + std::to_string(told[1]) + std::to_string(told[2]);
    }
};

} // namespace

// Grouping as the pointer moves and members come and go: what each member is drawn with, and
// that each is told once per flip (a redraw per change, no more, and never a dead member).
TEST(SlickHoverGroup, MembersShareHoverAndLeaveCleanly)
{
    const struct {
        const char* name;
        std::function<void(HoverTrio&)> act;
        const char* shared;
        const char* told;
        size_t inA;
    } cases[] = {
        {"ungrouped member hovers alone", [](HoverTrio& t) { t.m[1]->setOwnHover(true); }, ".H.", "010", 0},
        {"one member hovers the group", [](HoverTrio& t) { t.joinAll(); t.m[0]->setOwnHover(true); }, "HHH", "111", 3},
        {"leaving clears all",
         [](HoverTrio& t) {
             t.joinAll();
             t.m[0]->setOwnHover(true);
             t.m[0]->setOwnHover(false);
         },
         "...", "222", 3},
        {"a second hovered member keeps the group hovered",
         [](HoverTrio& t) {
             t.joinAll();
             t.m[0]->setOwnHover(true);
             t.m[2]->setOwnHover(true);
             t.m[0]->setOwnHover(false);
         },
         "HHH", "111", 3},
        {"hovered member leaves the group: it keeps its own hover",
         [](HoverTrio& t) {
             t.joinAll();
             t.m[1]->setOwnHover(true);
             t.m[1]->join(nullptr);
         },
         ".H.", "212", 2},
        {"hovered member destroyed: the rest unhover",
         [](HoverTrio& t) {
             t.joinAll();
             t.m[1]->setOwnHover(true);
             t.m[1].reset();
         },
         ".-.", "212", 2},
        {"hovered member moves to another group",
         [](HoverTrio& t) {
             t.m[0]->join(t.groupA.get());
             t.m[1]->join(t.groupA.get());
             t.m[2]->join(t.groupB.get());
             t.m[0]->setOwnHover(true);
             t.m[0]->join(t.groupB.get());
         },
         "H.H", "121", 1},
        {"joining a hovered group hovers the newcomer",
         [](HoverTrio& t) {
             t.m[0]->join(t.groupA.get());
             t.m[0]->setOwnHover(true);
             t.m[2]->join(t.groupA.get());
         },
         "H.H", "101", 2},
        {"joining twice adds once",
         [](HoverTrio& t) {
             t.m[0]->join(t.groupA.get());
             t.m[0]->join(t.groupA.get());
             t.m[0]->setOwnHover(true);
             t.m[0]->setOwnHover(false);
         },
         "...", "200", 1},
        {"group destroyed first lets its members go",
         [](HoverTrio& t) {
             t.m[0]->join(t.groupA.get());
             t.m[1]->join(t.groupA.get());
             t.groupA.reset();
             t.m[0]->setOwnHover(true);
             t.m[1].reset();
         },
         "H-.", "100", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HoverTrio trio;
        c.act(trio);
        EXPECT_EQ(trio.shared(), c.shared);
        EXPECT_EQ(trio.toldCounts(), c.told);
        if (trio.groupA) {
            EXPECT_EQ(trio.groupA->get().size(), c.inA);
            for (const CHoverMember* member : trio.groupA->get())
                EXPECT_EQ(member->getGroup(), trio.groupA.get());
        }
    }
}

// The same through the controls: a control that leaves (or is destroyed) while hovered neither
// stays in the list nor keeps the others hovered, and a later hover of the group still works.
TEST(SlickHoverGroup, ControlsLeaveWhileHovered)
{
    CTestPanel holder;
    zil::P<CSlickCheckBox::CHoverGroup> group(new CSlickCheckBox::CHoverGroup());
    zil::P<CSlickCheckBox::CHoverGroup> other(new CSlickCheckBox::CHoverGroup());
    CSlickCheckBox* boxes[3];
    for (auto& box : boxes) {
        box = new CSlickCheckBox(holder.panel, wxID_ANY, "x");
        group->add(box);
    }
    group->add(nullptr);
    EXPECT_EQ(group->getControls(), (zil::TArray<CSlickCheckBox::Base*>{boxes[0], boxes[1], boxes[2]}));

    boxes[1]->setOwnHover(true);
    EXPECT_EQ(boxes[0]->getState(), CSlickCheckBox::UncheckedHover);
    other->add(boxes[1]);
    EXPECT_FALSE(boxes[0]->getSharedHover());
    EXPECT_TRUE(boxes[1]->getSharedHover());
    // Removing from a group it is not in changes nothing.
    group->remove(boxes[1]);
    EXPECT_EQ(other->getControls().size(), 1u);

    boxes[2]->setOwnHover(true);
    EXPECT_TRUE(boxes[0]->getSharedHover());
    delete boxes[2];
    EXPECT_FALSE(boxes[0]->getSharedHover());
    EXPECT_EQ(group->getControls(), (zil::TArray<CSlickCheckBox::Base*>{boxes[0]}));

    // The client lets go of the group first; the control still holds it.
    group = nullptr;
    boxes[0]->setOwnHover(true);
    EXPECT_EQ(boxes[0]->getState(), CSlickCheckBox::UncheckedHover);
    other->remove(boxes[1]);
    EXPECT_TRUE(other->getControls().empty());
    EXPECT_TRUE(boxes[1]->getSharedHover());
}

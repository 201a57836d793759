// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "modules/modulefakes.h"

#include <zilui/modules/uimodule.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace zilui::test {
namespace {

TEST(ActiveUIModuleSlot, ClearOrAssignLeavesOldInItsDirectionUnlessRefused)
{
    // A (3 pages, on page 2) is active, unless the slot is empty; B takes its place when assigned.
    const struct {
        const char* name;
        bool haveOld, assign, refuse, force;
        IUIPage::NavDirection dir;
        bool result;
        Journal journal;
    } cases[] = {
        {"clear empty slot", false, false, false, false, kFwd, true, {}},
        {"clear forward", true, false, false, false, kFwd, true, {"A.next moved", "A.next end", "A.leave fwd"}},
        {"clear backward", true, false, false, false, kBack, true, {"A.prev moved", "A.prev end", "A.leave back"}},
        {"clear refused", true, false, true, false, kFwd, false, {"A.next stay"}},
        {"clear refused, forced", true, false, true, true, kFwd, true, {"A.next stay", "A.leave fwd"}},
        {"assign forward", true, true, false, false, kFwd, true,
         {"A.next moved", "A.next end", "A.leave fwd", "B.reset", "B.enter fwd", "B.next moved"}},
        // Left backward, but the new module starts at its first page.
        {"assign backward", true, true, false, false, kBack, true,
         {"A.prev moved", "A.prev end", "A.leave back", "B.reset", "B.enter back", "B.next moved"}},
        {"assign refused", true, true, true, false, kFwd, false, {"A.next stay"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Journal journal;
        zil::P<CFakeModule> oldModule(new CFakeModule(journal, "A", 3)), newModule(new CFakeModule(journal, "B", 2));
        zil::P<CFakeContext> oldContext(new CFakeContext()), newContext(new CFakeContext());
        CActiveUIModuleSlot slot;
        if (c.haveOld) {
            ASSERT_TRUE(slot.tryAssign(oldModule.get(), oldContext.get(), kFwd));
            ASSERT_EQ(oldModule->nextPage(), IUIModule::NavigateMoved);
            oldModule->refuse = c.refuse;
            journal.clear();
        }
        const bool result = c.assign ? slot.tryAssign(newModule.get(), newContext.get(), c.dir)
                                     : slot.tryClear(c.force, c.dir);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(journal, c.journal);
        const bool oldActive = c.haveOld && !c.result, newActive = c.assign && c.result;
        EXPECT_EQ(slot.getModule().get(), oldActive ? oldModule.get() : newActive ? newModule.get() : nullptr);
        EXPECT_EQ(oldModule->context.get() == oldContext.get(), oldActive);
        EXPECT_EQ(newModule->position, newActive ? 1 : 0);
        // The context belongs to the host: clearing keeps it.
        EXPECT_EQ(slot.getContext().get(), newActive ? newContext.get() : c.haveOld ? oldContext.get() : nullptr);
    }
}

TEST(ActiveUIModuleSlot, FailedStartRestoresOldModuleAndRethrows)
{
    const std::string restoring = "Exception in CActiveUIModuleSlot::tryAssign. Restoring previous module.";
    const std::string cleanup = "Exception during error cleanup in CActiveUIModuleSlot::tryAssign. Ignoring.";
    const std::string restoreFailed =
        "Exception trying to restore old module in CActiveUIModuleSlot::tryAssign error handling. Ignoring.";
    const std::string noFirstPage = "Internal error: new module's nextPage returned 1";
    const Journal start = {"A.next end", "A.leave fwd", "B.reset", "B.enter fwd"};
    const Journal restore = {"B.leave none", "A.reset", "A.enter none", "A.next moved"};
    const struct {
        const char* name;
        int newPages;
        bool newEnterThrows, newLeaveThrows, oldEnterThrows;
        std::string message;
        Journal between, after; // the journal is start + between + restore + after
        std::vector<std::string> logged;
    } cases[] = {
        {"no first page", 0, false, false, false, noFirstPage, {"B.next end"}, {}, {restoring}},
        {"no first page, leave fails", 0, false, true, false, noFirstPage, {"B.next end"}, {}, {restoring, cleanup}},
        // Not entered: the restoring assignment takes the new module through the leave sequence.
        {"enter fails", 1, true, false, false, "enter failed", {"B.next moved", "B.next end"}, {}, {restoring}},
        {"old cannot come back", 0, false, false, true, noFirstPage, {"B.next end"}, {"A.next end", "A.leave none"},
         {restoring, restoreFailed}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Journal journal;
        zil::P<CFakeModule> oldModule(new CFakeModule(journal, "A", 1));
        zil::P<CFakeModule> newModule(new CFakeModule(journal, "B", c.newPages));
        newModule->throwOnEnter = c.newEnterThrows;
        newModule->throwOnLeave = c.newLeaveThrows;
        zil::P<CFakeContext> oldContext(new CFakeContext());
        CGlobalLogCapture log;
        CActiveUIModuleSlot slot;
        ASSERT_TRUE(slot.tryAssign(oldModule.get(), oldContext.get(), kFwd));
        oldModule->throwOnEnter = c.oldEnterThrows;
        journal.clear();

        EXPECT_EQ(thrown([&] { slot.tryAssign(newModule.get(), nullptr, kFwd); }).getMessage(),
                  zil::String(c.message));
        Journal expected = start;
        for (const Journal* piece : {&c.between, &restore, &c.after})
            expected.insert(expected.end(), piece->begin(), piece->end());
        EXPECT_EQ(journal, expected);
        const bool restored = !c.oldEnterThrows;
        EXPECT_EQ(slot.getModule().get(), restored ? oldModule.get() : nullptr);
        EXPECT_EQ(slot.getContext().get(), restored ? oldContext.get() : nullptr);
        for (const std::string& line : {restoring, cleanup, restoreFailed}) {
            const bool wanted = std::find(c.logged.begin(), c.logged.end(), line) != c.logged.end();
            EXPECT_EQ(log.text().find(line) != std::string::npos, wanted) << line;
        }
    }
}

TEST(ActiveUIModuleSlot, DestructionSwallowsErrorOfLeave)
{
    Journal journal;
    zil::P<CFakeModule> module(new CFakeModule(journal, "A", 2));
    CGlobalLogCapture log;
    auto slot = std::make_unique<CActiveUIModuleSlot>();
    ASSERT_TRUE(slot->tryAssign(module.get(), nullptr, kFwd));
    module->throwOnLeave = true;
    journal.clear();

    EXPECT_NO_THROW(slot.reset());
    EXPECT_EQ(journal, (Journal{"A.next moved", "A.next end", "A.leave none"}));
    EXPECT_EQ(module->getRefCount(), 1);
    EXPECT_NE(log.text().find("Exception in destructor of zilui::CActiveUIModuleSlot"), std::string::npos);
}

} // namespace
} // namespace zilui::test

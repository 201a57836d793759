// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "modules/modulefakes.h"

#include <zilui/modules/uimodule.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace zilui::test {
namespace {

constexpr IUIPage::NavDirection kFwd = IUIPage::NavForward;
constexpr IUIPage::NavDirection kBack = IUIPage::NavBackward;

TEST(ActiveUIModuleSlot, TryClearPassesRemainingPagesUnlessRefused)
{
    struct Case {
        const char* name;
        bool haveModule;
        bool refuse;
        bool force;
        IUIPage::NavDirection dir;
        bool result;
        Journal journal;
        bool stillActive;
    };
    const Case cases[] = {
        {"empty slot", false, false, false, kFwd, true, {}, false},
        {"forward", true, false, false, kFwd, true, {"A.next moved", "A.next end", "A.leave fwd"}, false},
        {"backward", true, false, false, kBack, true, {"A.prev end", "A.leave back"}, false},
        {"refused", true, true, false, kFwd, false, {"A.next stay"}, true},
        {"refused, forced", true, true, true, kFwd, true, {"A.next stay", "A.leave fwd"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Journal journal;
        zil::P<CFakeModule> module(new CFakeModule(journal, "A", 2));
        zil::P<CFakeContext> context(new CFakeContext());
        CActiveUIModuleSlot slot;
        if (c.haveModule) {
            ASSERT_TRUE(slot.tryAssign(module.get(), context.get(), kFwd));
            module->refuse = c.refuse;
            journal.clear();
        }
        EXPECT_EQ(slot.tryClear(c.force, c.dir), c.result);
        EXPECT_EQ(journal, c.journal);
        EXPECT_EQ(slot.getModule().get() == module.get(), c.stillActive);
        EXPECT_EQ(module->context.get() == context.get(), c.stillActive);
        // The context belongs to the host, not to the module: clearing keeps it.
        EXPECT_EQ(slot.getContext().get() == context.get(), c.haveModule);
    }
}

TEST(ActiveUIModuleSlot, TryAssignLeavesOldInItsDirectionAndStartsNewAtFirstPage)
{
    struct Case {
        const char* name;
        bool oldRefuses;
        IUIPage::NavDirection dir;
        bool result;
        Journal journal;
    };
    const Case cases[] = {
        {"forward", false, kFwd, true,
         {"A.next end", "A.leave fwd", "B.reset", "B.enter fwd", "B.next moved"}},
        {"backward", false, kBack, true,
         {"A.prev moved", "A.prev end", "A.leave back", "B.reset", "B.enter back", "B.next moved"}},
        {"old refuses", true, kFwd, false, {"A.next stay"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Journal journal;
        zil::P<CFakeModule> oldModule(new CFakeModule(journal, "A", 2));
        zil::P<CFakeModule> newModule(new CFakeModule(journal, "B", 2));
        zil::P<CFakeContext> oldContext(new CFakeContext());
        zil::P<CFakeContext> newContext(new CFakeContext());
        CActiveUIModuleSlot slot;
        ASSERT_TRUE(slot.tryAssign(oldModule.get(), oldContext.get(), kFwd));
        ASSERT_EQ(oldModule->nextPage(), IUIModule::NavigateMoved); // on its last page
        oldModule->refuse = c.oldRefuses;
        journal.clear();

        EXPECT_EQ(slot.tryAssign(newModule.get(), newContext.get(), c.dir), c.result);
        EXPECT_EQ(journal, c.journal);
        const zil::P<CFakeModule>& active = c.result ? newModule : oldModule;
        EXPECT_EQ(slot.getModule(), active);
        EXPECT_EQ(slot.getContext().get(), c.result ? newContext.get() : oldContext.get());
        EXPECT_EQ(active->position, c.result ? 1 : 2);
    }
}

TEST(ActiveUIModuleSlot, FailedStartRestoresOldModuleAndRethrows)
{
    const std::string restoring = "Exception in CActiveUIModuleSlot::tryAssign. Restoring previous module.";
    const std::string cleanup = "Exception during error cleanup in CActiveUIModuleSlot::tryAssign. Ignoring.";
    const std::string restoreFailed = "Exception trying to restore old module in CActiveUIModuleSlot::tryAssign "
                                      "error handling. Ignoring.";
    const std::string noFirstPage = "Internal error: new module's nextPage returned 1";
    struct Case {
        const char* name;
        int newPages;
        bool newEnterThrows;
        bool newLeaveThrows;
        bool oldEnterThrows;
        std::string message;
        Journal journal;
        std::vector<std::string> logged;
        bool oldActive;
    };
    const Journal startFails = {"A.next end", "A.leave fwd", "B.reset", "B.enter fwd"};
    const auto join = [&](Journal tail) {
        Journal all = startFails;
        all.insert(all.end(), tail.begin(), tail.end());
        return all;
    };
    const Case cases[] = {
        {"no first page", 0, false, false, false, noFirstPage,
         join({"B.next end", "B.leave none", "A.reset", "A.enter none", "A.next moved"}), {restoring}, true},
        {"no first page, leave fails", 0, false, true, false, noFirstPage,
         join({"B.next end", "B.leave none", "A.reset", "A.enter none", "A.next moved"}), {restoring, cleanup},
         true},
        // Not entered: the restoring assignment takes the new module through the leave sequence.
        {"enter fails", 1, true, false, false, "enter failed",
         join({"B.next moved", "B.next end", "B.leave none", "A.reset", "A.enter none", "A.next moved"}),
         {restoring}, true},
        {"old cannot come back", 0, false, false, true, noFirstPage,
         join({"B.next end", "B.leave none", "A.reset", "A.enter none", "A.next moved", "A.next end",
               "A.leave none"}),
         {restoring, restoreFailed}, false},
    };
    for (const Case& c : cases) {
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

        try {
            slot.tryAssign(newModule.get(), nullptr, kFwd);
            ADD_FAILURE() << "no exception";
        } catch (const zil::CError& e) {
            EXPECT_EQ(e.getMessage(), zil::String(c.message));
        }
        EXPECT_EQ(journal, c.journal);
        EXPECT_EQ(slot.getModule().get(), c.oldActive ? oldModule.get() : nullptr);
        if (c.oldActive) {
            EXPECT_EQ(slot.getContext(), oldContext);
        }
        const std::string text = log.text();
        for (const std::string& line : {restoring, cleanup, restoreFailed}) {
            const bool expected = std::find(c.logged.begin(), c.logged.end(), line) != c.logged.end();
            EXPECT_EQ(text.find(line) != std::string::npos, expected) << line;
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

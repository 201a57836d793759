// SPDX-License-Identifier: MIT
#include "modules/modulefakes.h"

#include <zilui/modules/modulechain.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace zilui::test {
namespace {

struct CFilteredChain : CUIModuleChain {
    std::vector<int> refused;
    bool canUseSubModule(int index) override { return std::count(refused.begin(), refused.end(), index) == 0; }
};

struct CCountingGateway : CGatewayUIModule {
    int passes = 0;
    void onPassed() override { ++passes; }
};

// Sub-modules named A, B, C, ... with the given page counts.
std::vector<zil::P<CFakeModule>> addFakes(CUIModuleChain& chain, Journal& journal, const std::vector<int>& pages)
{
    std::vector<zil::P<CFakeModule>> modules;
    for (size_t i = 0; i < pages.size(); ++i) {
        modules.emplace_back(new CFakeModule(journal, std::string(1, char('A' + i)), pages[i]));
        chain.addSubModule(modules.back().get());
    }
    return modules;
}

TEST(UIModuleChain, EmptyChainRunsOffBothEnds)
{
    CUIModuleChain chain;
    zil::P<CFakeContext> context(new CFakeContext());
    chain.enter(context.get(), kFwd);
    EXPECT_EQ(chain.nextPage(), IUIModule::NavigateEnd);
    EXPECT_EQ(chain.getCurrentSubModuleIndex(), 0);
    EXPECT_FALSE(chain.hasAnyPages() || chain.hasNextPage());
    EXPECT_TRUE(chain.getPageInfo() && chain.getPageInfo()->showNext);
    EXPECT_EQ(chain.prevPage(), IUIModule::NavigateEnd);
    EXPECT_EQ(chain.getCurrentSubModuleIndex(), -1);
}

TEST(UIModuleChain, SubModulesWithoutPagesOrRefusedArePassedAndNotCounted)
{
    const struct {
        const char* name;
        std::vector<int> pages, refused;
        bool exactlyOnePage;
        Journal firstNext; // empty: not navigated; else the first nextPage reaches C1
    } cases[] = {
        {"without pages", {0, 0, 2}, {}, false,
         {"A.enter fwd", "A.next end", "A.leave fwd", "B.enter fwd", "B.next end", "B.leave fwd", "C.enter fwd",
          "C.next moved"}},
        {"refused", {1, 1, 2}, {0, 1}, false, {"C.enter fwd", "C.next moved"}},
        {"two single pages", {1, 1}, {}, false, {}},
        {"one single page among page-less ones", {0, 1, 0, 0}, {}, true, {}},
        {"one sub-module of two pages", {0, 2}, {}, false, {}},
        {"only page-less ones", {0, 0}, {}, false, {}},
        {"second single page refused", {1, 1}, {1}, true, {}},
        {"the only single page refused", {0, 1}, {1}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Journal journal;
        CFilteredChain chain;
        const auto modules = addFakes(chain, journal, c.pages);
        chain.refused = c.refused;
        EXPECT_EQ(chain.hasExactlyOnePage(), c.exactlyOnePage);
        if (c.firstNext.empty())
            continue;
        chain.enter(nullptr, kFwd);
        EXPECT_EQ(chain.nextPage(), IUIModule::NavigateMoved);
        EXPECT_EQ(journal, c.firstNext);
        EXPECT_EQ(chain.getCurrentSubModuleIndex(), 2);
        EXPECT_EQ(chain.getPageName(), L"C1");
        // Nothing usable lies behind: the host offers Cancel, not Back.
        EXPECT_TRUE(!chain.hasPrevPage() && chain.hasNextPage());
    }
}

TEST(UIModuleChain, RefusalStaysAndBackFromSecondShowsLastPageOfFirst)
{
    Journal journal;
    CUIModuleChain chain;
    const auto modules = addFakes(chain, journal, {2, 2});
    zil::P<CFakeContext> context(new CFakeContext());
    chain.enter(context.get(), kFwd);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(chain.nextPage(), IUIModule::NavigateMoved);
    modules[1]->refuse = true;
    journal.clear();

    EXPECT_EQ(chain.nextPage(), IUIModule::NavigateStay);
    EXPECT_EQ(chain.getCurrentSubModuleIndex(), 1);
    EXPECT_EQ(chain.getPageName(), L"B1");
    EXPECT_EQ(modules[1]->context, context);

    EXPECT_EQ(chain.prevPage(), IUIModule::NavigateMoved);
    EXPECT_EQ(journal, (Journal{"B.next stay", "B.prev end", "B.leave back", "A.enter back", "A.prev moved"}));
    EXPECT_EQ(chain.getCurrentSubModuleIndex(), 0);
    EXPECT_EQ(chain.getPageName(), L"A2");
    EXPECT_TRUE(chain.hasPrevPage() && chain.hasNextPage());
}

TEST(UIModuleChain, GatewayFiresWhenPassedForwardOnly)
{
    Journal journal;
    CUIModuleChain chain;
    zil::P<CFakeModule> first(new CFakeModule(journal, "A", 1)), last(new CFakeModule(journal, "B", 1));
    zil::P<CCountingGateway> gateway(new CCountingGateway());
    chain.addSubModule(first.get());
    chain.addSubModule(gateway.get());
    chain.addSubModule(last.get());
    EXPECT_FALSE(chain.hasExactlyOnePage());
    chain.enter(nullptr, kFwd);

    const struct {
        bool forward;
        const wchar_t* page;
        int passes;
    } steps[] = {{true, L"A1", 0}, {true, L"B1", 1}, {false, L"A1", 1}, {true, L"B1", 2}};
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << (step.forward ? "next to " : "back to ") << zil::String(step.page));
        EXPECT_EQ(step.forward ? chain.nextPage() : chain.prevPage(), IUIModule::NavigateMoved);
        EXPECT_EQ(chain.getPageName(), step.page);
        EXPECT_EQ(gateway->passes, step.passes);
    }
}

} // namespace
} // namespace zilui::test

// SPDX-License-Identifier: MIT
#include "modules/modulefakes.h"

#include <zilui/modules/modulechain.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace zilui::test {
namespace {

constexpr IUIPage::NavDirection kFwd = IUIPage::NavForward;

class CFilteredChain : public CUIModuleChain {
public:
    std::vector<int> refused;

protected:
    bool canUseSubModule(int index) override
    {
        return std::find(refused.begin(), refused.end(), index) == refused.end();
    }
};

class CRecordingGateway : public CGatewayUIModule {
public:
    explicit CRecordingGateway(Journal& journal) : m_journal(journal) {}

protected:
    void onPassed() override { m_journal.push_back("G.passed"); }

private:
    Journal& m_journal;
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
    EXPECT_FALSE(chain.hasAnyPages());
    EXPECT_FALSE(chain.hasNextPage());
    ASSERT_TRUE(chain.getPageInfo());
    EXPECT_TRUE(chain.getPageInfo()->showNext);
    EXPECT_EQ(chain.prevPage(), IUIModule::NavigateEnd);
    EXPECT_EQ(chain.getCurrentSubModuleIndex(), -1);
}

TEST(UIModuleChain, FirstNextPassesSubModulesWithoutPagesOrRefused)
{
    struct Case {
        const char* name;
        std::vector<int> pages;
        std::vector<int> refused;
        Journal journal;
    };
    const Case cases[] = {
        {"without pages", {0, 0, 2}, {},
         {"A.enter fwd", "A.next end", "A.leave fwd", "B.enter fwd", "B.next end", "B.leave fwd", "C.enter fwd",
          "C.next moved"}},
        {"refused", {1, 1, 2}, {0, 1}, {"C.enter fwd", "C.next moved"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Journal journal;
        CFilteredChain chain;
        const auto modules = addFakes(chain, journal, c.pages);
        chain.refused = c.refused;
        chain.enter(nullptr, kFwd);
        EXPECT_EQ(chain.nextPage(), IUIModule::NavigateMoved);
        EXPECT_EQ(journal, c.journal);
        EXPECT_EQ(chain.getCurrentSubModuleIndex(), 2);
        EXPECT_EQ(chain.getPageName(), L"C1");
        // Nothing usable lies behind: the host offers Cancel, not Back.
        EXPECT_FALSE(chain.hasPrevPage());
        EXPECT_TRUE(chain.hasNextPage());
    }
}

TEST(UIModuleChain, RefusalKeepsSubModuleAndIndex)
{
    Journal journal;
    CUIModuleChain chain;
    const auto modules = addFakes(chain, journal, {1, 2});
    zil::P<CFakeContext> context(new CFakeContext());
    chain.enter(context.get(), kFwd);
    ASSERT_EQ(chain.nextPage(), IUIModule::NavigateMoved);
    ASSERT_EQ(chain.nextPage(), IUIModule::NavigateMoved);
    modules[1]->refuse = true;
    journal.clear();

    EXPECT_EQ(chain.nextPage(), IUIModule::NavigateStay);
    EXPECT_EQ(journal, Journal{"B.next stay"});
    EXPECT_EQ(chain.getCurrentSubModuleIndex(), 1);
    EXPECT_EQ(chain.getPageName(), L"B1");
    EXPECT_EQ(modules[1]->context, context);
}

TEST(UIModuleChain, BackFromFirstPageOfSecondShowsLastPageOfFirst)
{
    Journal journal;
    CUIModuleChain chain;
    const auto modules = addFakes(chain, journal, {2, 2});
    chain.enter(nullptr, kFwd);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(chain.nextPage(), IUIModule::NavigateMoved);
    ASSERT_EQ(chain.getPageName(), L"B1");
    journal.clear();

    EXPECT_EQ(chain.prevPage(), IUIModule::NavigateMoved);
    EXPECT_EQ(journal, (Journal{"B.prev end", "B.leave back", "A.enter back", "A.prev moved"}));
    EXPECT_EQ(chain.getCurrentSubModuleIndex(), 0);
    EXPECT_EQ(chain.getPageName(), L"A2");
    EXPECT_TRUE(chain.hasPrevPage());
    EXPECT_TRUE(chain.hasNextPage());
}

TEST(UIModuleChain, HasExactlyOnePageCountsSubModulesWithPages)
{
    struct Case {
        const char* name;
        std::vector<int> pages;
        std::vector<int> refused;
        bool expected;
    };
    const Case cases[] = {
        {"two single pages", {1, 1}, {}, false},
        {"one single page among page-less ones", {0, 1, 0, 0}, {}, true},
        {"one sub-module of two pages", {0, 2}, {}, false},
        {"only page-less ones", {0, 0}, {}, false},
        {"second single page refused", {1, 1}, {1}, true},
        {"the only single page refused", {0, 1}, {1}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Journal journal;
        CFilteredChain chain;
        const auto modules = addFakes(chain, journal, c.pages);
        chain.refused = c.refused;
        EXPECT_EQ(chain.hasExactlyOnePage(), c.expected);
    }
}

TEST(UIModuleChain, GatewayFiresWhenPassedForwardOnly)
{
    Journal journal;
    CUIModuleChain chain;
    zil::P<CFakeModule> first(new CFakeModule(journal, "A", 1));
    zil::P<CRecordingGateway> gateway(new CRecordingGateway(journal));
    zil::P<CFakeModule> last(new CFakeModule(journal, "B", 1));
    chain.addSubModule(first.get());
    chain.addSubModule(gateway.get());
    chain.addSubModule(last.get());
    EXPECT_FALSE(chain.hasExactlyOnePage());
    chain.enter(nullptr, kFwd);

    struct Step {
        bool forward;
        const wchar_t* page;
        long passes;
    };
    const Step steps[] = {{true, L"A1", 0}, {true, L"B1", 1}, {false, L"A1", 1}, {true, L"B1", 2}};
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << (step.forward ? "next to " : "back to ") << zil::String(step.page));
        EXPECT_EQ(step.forward ? chain.nextPage() : chain.prevPage(), IUIModule::NavigateMoved);
        EXPECT_EQ(chain.getPageName(), step.page);
        EXPECT_EQ(std::count(journal.begin(), journal.end(), "G.passed"), step.passes);
    }
}

} // namespace
} // namespace zilui::test

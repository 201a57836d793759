// SPDX-License-Identifier: MIT
#include "../../graphics/resolutionvariants.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace variants = zilui::variants;

namespace {

zil::TArray<zil::String> sorted(std::vector<const wchar_t*> names)
{
    zil::TArray<zil::String> result(names.begin(), names.end());
    std::sort(result.begin(), result.end());
    return result;
}

const wchar_t* nameOf(const zil::String* name)
{
    return name ? name->c_str() : L"";
}

} // namespace

TEST(ResolutionVariants, PicksTheBestAmongNames)
{
    struct Case {
        std::vector<const wchar_t*> names;
        const wchar_t* title;
        const wchar_t* extension;
        double requested;
        const wchar_t* best;
        double factor;
        std::vector<const wchar_t*> bad;
    };
    const Case cases[] = {
        {{L"ok.png", L"ok@1_5.png", L"ok@2.png"}, L"ok", L".png", 1.5, L"ok@1_5.png", 1.5, {}},
        {{L"ok.png", L"ok@2.png"}, L"ok", L".png", 1.25, L"ok@2.png", 2.0, {}},
        // Names that only start with the title, or carry another extension, are no variants.
        {{L"okay.png", L"ok.gif", L"ok@2.gif", L"ok2.png", L"ok.png"}, L"ok", L".png", 2.0, L"ok.png", 1.0, {}},
        {{L"ok.png", L"ok@x.png", L"ok@0_.png", L"ok@9.png"}, L"ok", L".png", 2.0, L"ok.png", 1.0,
         {L"ok@0_.png", L"ok@9.png", L"ok@x.png"}},
        // Only bad suffixes: nothing, not a rescaled zero.
        {{L"z@0_.png"}, L"z", L".png", 1.0, L"", -1.0, {L"z@0_.png"}},
        {{L"a.b.png", L"a@2.b.png"}, L"a", L".b.png", 2.0, L"a@2.b.png", 2.0, {}},
        {{L".x.png", L".x@2.png"}, L".x", L".png", 2.0, L".x@2.png", 2.0, {}},
        {{}, L"ok", L".png", 1.0, L"", -1.0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << zil::String(c.title).toUTF8() << " at " << c.requested);
        const zil::TArray<zil::String> names = sorted(c.names);
        zil::TArray<const zil::String*> bad;
        const variants::Variant best = variants::pickBest(names, c.title, c.extension, c.requested, &bad);
        EXPECT_EQ(zil::String(nameOf(best.name)), c.best);
        EXPECT_EQ(best.factor, c.factor);
        std::vector<zil::String> badNames;
        for (const zil::String* name : bad)
            badNames.push_back(*name);
        EXPECT_EQ(badNames, std::vector<zil::String>(c.bad.begin(), c.bad.end()));
    }
}

TEST(ResolutionVariants, ComparisonIsAnOrder)
{
    // For every pair the answer flips with the order, and a factor equal to the request wins.
    const double factors[] = {0.5, 0.88, 0.9, 1.0, 1.04, 1.05, 1.06, 1.5, 2.0, 3.0};
    for (const double requested : {1.0, 1.25, 2.0}) {
        for (const double a : factors) {
            for (const double b : factors) {
                SCOPED_TRACE(::testing::Message() << a << " vs " << b << " for " << requested);
                EXPECT_EQ(variants::compare(a, b, requested), -variants::compare(b, a, requested));
                if (a == requested && b != requested) {
                    EXPECT_EQ(variants::compare(a, b, requested), 1);
                }
                for (const double c : factors) {
                    if (variants::compare(a, b, requested) == 1 && variants::compare(b, c, requested) == 1) {
                        EXPECT_EQ(variants::compare(a, c, requested), 1) << "not transitive through " << c;
                    }
                }
            }
        }
    }
    struct Edge { double available; bool scales; };
    for (const Edge& e : {Edge{0.875, false}, Edge{0.87, true}, Edge{1.049, false}, Edge{1.051, true}}) {
        SCOPED_TRACE(e.available);
        EXPECT_EQ(variants::needToScale(e.available, 1.0), e.scales);
    }
}

TEST(ResolutionVariants, TitleMatchPrefersTheExtensionAcrossFolders)
{
    const zil::TArray<zil::String> late = sorted({L"pick.gif", L"picker.png", L"ok.png"});
    const zil::TArray<zil::String> early = sorted({L"pick.png", L"pick.bmp"});
    struct Case { const wchar_t* title; const wchar_t* preferred; const wchar_t* afterLate; const wchar_t* afterEarly; };
    const Case cases[] = {
        {L"pick", L"", L"pick.gif", L"pick.gif"},       // the first match stays
        {L"pick", L".png", L"pick.gif", L"pick.png"},   // a later folder with the preferred one wins
        {L"pick", L".tif", L"pick.gif", L"pick.gif"},   // nothing preferred anywhere: the first
        {L"picke", L"", L"", L""},                      // a prefix of a title is no title
        {L"ok", L".png", L"ok.png", L"ok.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(zil::String(c.title).toUTF8() + " " + zil::String(c.preferred).toUTF8());
        const zil::String* match = variants::pickByTitle(late, c.title, c.preferred, nullptr);
        EXPECT_EQ(zil::String(nameOf(match)), c.afterLate);
        EXPECT_EQ(zil::String(nameOf(variants::pickByTitle(early, c.title, c.preferred, match))), c.afterEarly);
    }
}

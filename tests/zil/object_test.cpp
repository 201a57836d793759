// SPDX-License-Identifier: MIT
#include "temp_folder.h"

#include <zil/object.h>

#include <atomic>
#include <thread>
#include <vector>

using zil::test::thrown;

namespace {

struct IShape : virtual zil::IBase {
    virtual int corners() const = 0;
};
struct Tracked : zil::CBase, IShape {
    explicit Tracked(std::atomic<int>& deletions) : m_deletions(deletions) {}
    ~Tracked() override { m_deletions.fetch_add(1); }
    int corners() const override { return 4; }
    std::atomic<int>& m_deletions;
};

} // namespace

// A non-atomic count loses increments under contention and frees the object early or never.
TEST(CountedObject, ConcurrentCopiesKeepTheCountExactAndFreeOnce)
{
    std::atomic<int> deletions{0};
    {
        zil::P<Tracked> shared(new Tracked(deletions));
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([shared] {
                std::vector<zil::P<Tracked>> held;
                held.reserve(64);
                for (int i = 0; i < 100000; ++i) {
                    held.push_back(shared);
                    zil::P<Tracked> moved(std::move(held.back()));
                    held.back() = moved;
                    if (held.size() == 64)
                        held.clear();
                }
            });
        }
        for (auto& t : threads)
            t.join();
        EXPECT_EQ(shared->getRefCount(), 1);
        EXPECT_EQ(deletions.load(), 0);
    }
    EXPECT_EQ(deletions.load(), 1);
}

// Interface references share the object's count; a copied object is a new object, and copying
// the count with it would free it twice.
TEST(CountedObject, InterfacesShareTheCountCopiesStartTheirOwn)
{
    std::atomic<int> deletions{0};
    zil::P<IShape> shape;
    {
        zil::P<Tracked> square(new Tracked(deletions));
        shape = square;
        EXPECT_EQ(square->getRefCount(), 2);
        zil::P<Tracked> back = shape.dynamicCast<Tracked>();
        EXPECT_EQ(back, square);
        EXPECT_EQ(square->getRefCount(), 3);

        zil::P<Tracked> copy(new Tracked(*square));
        EXPECT_EQ(copy->getRefCount(), 1);
        EXPECT_EQ(square->getRefCount(), 3);
        copy = square; // self-consistent assignment order: the old copy goes, square survives
        EXPECT_EQ(deletions.load(), 1);
        const zil::P<Tracked>& self = square;
        square = self;
        EXPECT_EQ(square->getRefCount(), 4);
    }
    EXPECT_EQ(deletions.load(), 1);
    EXPECT_EQ(shape->corners(), 4);
    shape = nullptr;
    EXPECT_EQ(deletions.load(), 2);
}

TEST(SafeGlobalSlot, RacingFirstUsesCreateOneObject)
{
    std::atomic<int> creations{0};
    std::atomic<int> deletions{0};
    zil::CSafeGlobalSlot<Tracked> slot;
    auto create = [&] {
        creations.fetch_add(1);
        std::this_thread::yield();
        return zil::P<Tracked>(new Tracked(deletions));
    };
    std::vector<std::thread> threads;
    std::vector<Tracked*> seen(8);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] { seen[t] = slot.use(create).get(); });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(creations.load(), 1);
    for (auto* p : seen)
        EXPECT_EQ(p, seen[0]);
    slot.dispose();
    EXPECT_EQ(deletions.load(), 1);
    EXPECT_NE(slot.use(create), nullptr);
    EXPECT_EQ(creations.load(), 2);
}

TEST(Errors, CloneRethrowKeepsTypeAndPropertiesAndSysErrorsCarryErrno)
{
    zil::CIOError io(L"Cannot open", L"CFile::open", zil::CIOError::codeCannotOpen);
    io.setProp(L"path", L"/x").setProp(zil::CIOError::paramURI(), L"file:///x");
    io.setCause(zil::CParseError(L"inner"));
    std::unique_ptr<zil::CError> copy(io.clone());
    const auto e = thrown<zil::CIOError>([&] { copy->rethrow(); });
    EXPECT_EQ(e.getCode(), 1);
    EXPECT_EQ(e.getProp(L"path"), zil::String(L"/x"));
    ASSERT_NE(e.getCause(), nullptr);
    EXPECT_EQ(e.getCause()->getMessage(), zil::String(L"inner"));
    EXPECT_STREQ(e.what(), "Cannot open");
    EXPECT_TRUE(e.getFullText().Contains(L"zil::CIOError in CFile::open, code 1"));
    EXPECT_TRUE(e.getFullText().Contains(L"Caused by: inner"));

    const auto sys = thrown([] { zil::throwSysError(L"open", L"Cannot open '/nope'", zil::CProps(), ENOENT); });
    EXPECT_EQ(sys.getProp(L"func"), zil::String(L"open"));
    EXPECT_EQ(sys.getProp(L"lastSysError"), zil::String(L"2"));
    EXPECT_TRUE(sys.getMessage().StartsWith(L"Cannot open '/nope': ")) << sys.what();
    EXPECT_EQ(sys.getCode(), ENOENT);
}

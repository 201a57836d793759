// SPDX-License-Identifier: MIT
#include <zil/translation.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using zil::ITranslationService;
using zil::String;

namespace {

std::atomic<int> g_destroyedInUse{0};

// Prefixes texts; notes when it is destroyed while a call runs on it.
class CPrefixService : public zil::CBase, public ITranslationService {
public:
    explicit CPrefixService(String prefix) : m_prefix(std::move(prefix)) {}
    String translate(const String& text) override
    {
        ++m_inUse;
        std::this_thread::yield();
        String result = m_prefix + text;
        --m_inUse;
        return result;
    }

protected:
    ~CPrefixService() override { g_destroyedInUse += m_inUse.load() != 0; }

private:
    String m_prefix;
    std::atomic<int> m_inUse{0};
};

} // namespace

TEST(ITranslationServiceTest, ServiceCanBeReplacedWhileOtherThreadsTranslate)
{
    EXPECT_EQ(ITranslationService::get(L"Cancel"), String(L"Cancel"));
    std::atomic<bool> done{false};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i)
        readers.emplace_back([&] {
            while (!done) {
                const String text = ITranslationService::get(L"Open");
                unexpected += text != L"Open" && text != L"a:Open" && text != L"b:Open";
            }
        });
    for (int round = 0; round < 2000; ++round)
        ITranslationService::setGlobal(round % 3 == 2 ? nullptr
                                                      : new CPrefixService(round % 3 ? L"b:" : L"a:"));
    done = true;
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_EQ(g_destroyedInUse.load(), 0) << "a service was freed while translating";
    ITranslationService::setGlobal(new CPrefixService(L"x:"));
    EXPECT_EQ(ITranslationService::get(L"Save"), String(L"x:Save"));
    ITranslationService::setGlobal(nullptr);
    EXPECT_EQ(ITranslationService::get(L"Save"), String(L"Save"));
}

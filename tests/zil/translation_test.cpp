// SPDX-License-Identifier: MIT
#include <zil/translation.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using zil::ITranslationService;
using zil::P;
using zil::String;

namespace {

// Prefixes texts; counts the calls running on it, and notes a destruction during one.
class CPrefixService : public zil::CBase, public ITranslationService {
public:
    CPrefixService(String prefix, std::atomic<int>& destroyedInUse)
        : m_prefix(std::move(prefix)), m_destroyedInUse(destroyedInUse)
    {
    }
    String translate(const String& text) override
    {
        ++m_inUse;
        std::this_thread::yield();
        String result = m_prefix + text;
        --m_inUse;
        return result;
    }

protected:
    ~CPrefixService() override
    {
        if (m_inUse.load() != 0)
            ++m_destroyedInUse;
    }

private:
    String m_prefix;
    std::atomic<int>& m_destroyedInUse;
    std::atomic<int> m_inUse{0};
};

} // namespace

TEST(ITranslationServiceTest, ServiceCanBeReplacedWhileOtherThreadsTranslate)
{
    EXPECT_EQ(ITranslationService::get(L"Cancel"), String(L"Cancel"));

    std::atomic<int> destroyedInUse{0};
    std::atomic<bool> done{false};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i)
        readers.emplace_back([&] {
            while (!done) {
                const String text = ITranslationService::get(L"Open");
                if (text != L"Open" && text != L"a:Open" && text != L"b:Open")
                    ++unexpected;
            }
        });
    for (int round = 0; round < 2000; ++round) {
        const String prefix = round % 3 ? L"b:" : L"a:";
        ITranslationService::setGlobal(round % 3 == 2 ? nullptr
                                                      : new CPrefixService(prefix, destroyedInUse));
    }
    done = true;
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_EQ(destroyedInUse.load(), 0) << "a service was freed while translating";

    ITranslationService::setGlobal(new CPrefixService(L"x:", destroyedInUse));
    EXPECT_EQ(ITranslationService::get(L"Save"), String(L"x:Save"));
    ITranslationService::setGlobal(nullptr);
    EXPECT_EQ(ITranslationService::get(L"Save"), String(L"Save"));
}

// SPDX-License-Identifier: MIT
// Every seed and every input a harness once found (corpus/<harness>/) runs through its
// harness in the ordinary suite, under either compiler: a finding stays fixed.
#include "fuzz/fuzzsupport.h"

#include <zilui/graphics/resourcemanager.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

TEST(FuzzReplay, EveryCorpusInputPassesItsHarness)
{
    const std::filesystem::path corpus(ZILUI_FUZZ_CORPUS_DIR);
    ASSERT_EQ(zilui::fuzz::targets().size(), size_t(std::distance(std::filesystem::directory_iterator(corpus),
                                                                  std::filesystem::directory_iterator())));
    for (const auto& [name, target] : zilui::fuzz::targets()) {
        int inputs = 0;
        for (const auto& entry : std::filesystem::directory_iterator(corpus / name)) {
            SCOPED_TRACE(entry.path().string());
            std::ifstream file(entry.path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            try {
                target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            } catch (const zil::CError&) {
            }
            ++inputs;
        }
        EXPECT_GT(inputs, 0) << name;
    }
    // The skin harness adds its folder to the process-wide manager.
    zilui::CResourceManager::disposeGlobalInstance();
}

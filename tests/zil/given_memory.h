// SPDX-License-Identifier: MIT
// Memory a test hands to credential buffers, to look into after they are gone.
#pragma once

#include <zil/accounts.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zil::test {

struct CGivenMemory {
    std::vector<char> bytes = std::vector<char>(1 << 24, 'x');
    size_t used = 0;
    CGivenMemory()
    {
        CCredentialBuffer::setAllocator(
            [this](size_t size) -> void* {
                used += size;
                return used <= bytes.size() ? bytes.data() + used - size : nullptr;
            },
            [](void*, size_t) {});
    }
    ~CGivenMemory() { CCredentialBuffer::setAllocator(nullptr, nullptr); }
    bool holds(const std::string& text) const
    {
        return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
    }
};

} // namespace zil::test

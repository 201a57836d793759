// SPDX-License-Identifier: MIT
#pragma once

#include <wx/gdicmn.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace zilui {

// Extents by text, open addressing over one array, the texts one after another in one string:
// a lookup of a known word touches a slot and its characters, and copies nothing. Prose asks
// for tens of thousands of words per paragraph.
class CExtentTable {
public:
    // wxDefaultSize where `text` is not known. `hash`: hashOf(text).
    wxSize find(std::wstring_view text, uint32_t hash) const
    {
        if (m_slots.empty())
            return wxDefaultSize;
        const Slot& slot = m_slots[probe(text, hash)];
        return slot.hash ? wxSize(slot.width, slot.height) : wxDefaultSize;
    }
    wxSize find(std::wstring_view text) const { return find(text, hashOf(text)); }

    // For lookups in a row: a large table misses the cache on the slot and on the text, so the
    // slot of a text some lookups ahead is fetched first, then, nearer, the text it names.
    void prefetchSlot(uint32_t hash) const
    {
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[hash & (m_slots.size() - 1)]);
    }
    void prefetchText(uint32_t hash) const
    {
        if (!m_slots.empty()) {
            const Slot& slot = m_slots[hash & (m_slots.size() - 1)];
            if (slot.hash)
                __builtin_prefetch(m_texts.data() + slot.offset);
        }
    }

    static uint32_t hashOf(std::wstring_view text)
    {
        const size_t hash = std::hash<std::wstring_view>()(text);
        return uint32_t(hash ^ (hash >> 32)) | 1;
    }
    // The extent known for `text`, or `extent` from now on.
    wxSize emplace(std::wstring_view text, const wxSize& extent)
    {
        if (text.size() > std::numeric_limits<uint32_t>::max())
            return extent;
        // At most half full: probes stay short.
        if (2 * (m_count + 1) > m_slots.size())
            grow();
        const uint32_t hash = hashOf(text);
        Slot& slot = m_slots[probe(text, hash)];
        if (slot.hash)
            return wxSize(slot.width, slot.height);
        slot = Slot{hash, uint32_t(text.size()), extent.x, extent.y, m_texts.size()};
        m_texts.append(text);
        ++m_count;
        return extent;
    }
    size_t size() const { return m_count; }
    void clear()
    {
        m_slots.clear();
        m_texts.clear();
        m_count = 0;
    }

private:
    struct Slot {
        uint32_t hash; // 0: empty
        uint32_t length;
        int32_t width;
        int32_t height;
        size_t offset; // of the text in m_texts
    };

    // The slot holding `text`, or the empty one where it belongs.
    size_t probe(std::wstring_view text, uint32_t hash) const
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = m_slots[i];
            if (!slot.hash || (slot.hash == hash && slot.length == text.size() &&
                               std::wstring_view(m_texts).substr(slot.offset, slot.length) == text))
                return i;
        }
    }
    void grow()
    {
        std::vector<Slot> old(std::max<size_t>(64, 2 * m_slots.size()));
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (const Slot& slot : old)
            if (slot.hash) {
                size_t i = slot.hash & mask;
                while (m_slots[i].hash)
                    i = (i + 1) & mask;
                m_slots[i] = slot;
            }
    }

    std::vector<Slot> m_slots;
    std::wstring m_texts;
    size_t m_count = 0;
};

} // namespace zilui

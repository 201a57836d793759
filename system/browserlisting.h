// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/system/filesystembrowser.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace zilui {

// One folder's entries as a load thread collects them. Names and their case-folded sort keys
// go into one shared buffer, so an entry costs no allocation of its own until it becomes a
// row; the entries are sorted once, in the list's order, and only then made into items.
class CBrowserListing {
public:
    using CItem = CFileSystemBrowserControl::CItem;
    using Items = zil::TMap<zil::String, zil::P<CItem>>;
    using CResult = CFileSystemBrowserControl::CUpdateForwarder::CResult;

    // `uri` empty: the folder's URI joined with the name.
    void add(std::wstring_view name, int type, int64_t size, zil::CURI&& uri = zil::CURI());
    size_t size() const { return m_entries.size(); }

    // Folders, then files, case-blind with the exact name breaking ties; other kinds go into
    // the items only, each logged. An item of `previous` whose name, kind and size are
    // unchanged is taken over, object and map node: a refresh then allocates nothing for it.
    // `previous` keeps what was not taken; its items are only read, never written, since the
    // GUI thread may hold them too.
    void finish(const zil::CURI& folder, Items& previous, CResult& result);

private:
    struct Entry {
        uint32_t name, nameLength; // in m_text
        uint32_t key, keyLength;   // in m_text; the name itself when folding changes nothing
        uint32_t uri;              // in m_uris, or kNoURI
        int type;
        int64_t size;
    };
    static constexpr uint32_t kNoURI = UINT32_MAX;

    std::wstring_view nameOf(const Entry& entry) const
    {
        return {m_text.data() + entry.name, entry.nameLength};
    }
    std::wstring_view keyOf(const Entry& entry) const { return {m_text.data() + entry.key, entry.keyLength}; }

    std::vector<Entry> m_entries;
    std::vector<wchar_t> m_text;
    std::vector<zil::CURI> m_uris;
};

// Reads a folder of the local disk into `listing` in one pass over the directory: an entry's
// kind comes from the listing, and a statx relative to the open folder is made only for files
// (their size is shown) and for links and entries of unknown kind. An entry that cannot be
// read is logged and left out. Throws zil::CIOError (codeCannotOpen, "path", "uri") when the
// folder cannot be listed; what was read before stays in `listing`.
void readLocalFolder(const zil::CURI& folder, CBrowserListing& listing);

} // namespace zilui

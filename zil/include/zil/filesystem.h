// SPDX-License-Identifier: MIT
#pragma once

#include "zil/containers.h"
#include "zil/object.h"
#include "zil/string.h"
#include "zil/uri.h"

#include <cstdint>

namespace zil {

// A place that holds folders and files, addressed by URI. Implementations must be usable
// from several threads at once.
class IFileSystem : public virtual IBase {
public:
    // Devices, FIFOs, sockets and links that lead nowhere are `other`.
    enum class EntryType { other = 0, file = 1, folder = 2 };

    struct EntryInfo {
        String name;
        CURI uri;
        EntryType type = EntryType::other;
        // Bytes of a file; 0 for everything else
        int64_t size = 0;

        bool isFolder() const { return type == EntryType::folder; }
    };

    // Appends the entries of `folder` to `out`: folders first, then everything else, each
    // group in case-blind order of name. Throws CIOError with codeCannotOpen, "path" and
    // "uri" when the folder cannot be listed; `out` may then hold part of the result.
    virtual void listFolder(const CURI& folder, TArray<EntryInfo>& out) = 0;
    // Throws CIOError with codeCannotOpen when nothing is there.
    virtual EntryInfo getEntryInfo(const CURI& uri) = 0;
    // False when missing, never throws for that.
    virtual bool isFolder(const CURI& uri) = 0;
};

// The local disk, for file: URIs only; other schemes throw CInvalidArgError. Symbolic links
// are followed. Stateless, so one instance serves the whole process.
class CLocalFileSystem : public CBase, public IFileSystem {
public:
    static P<CLocalFileSystem> get();

    void listFolder(const CURI& folder, TArray<EntryInfo>& out) override;
    EntryInfo getEntryInfo(const CURI& uri) override;
    bool isFolder(const CURI& uri) override;
};

} // namespace zil

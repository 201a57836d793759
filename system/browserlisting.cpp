// SPDX-License-Identifier: MIT
#include "browserlisting.h"

#include <zil/error.h>
#include <zil/log.h>
#include <zil/path.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <numeric>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace zilui {

namespace {

using Control = CFileSystemBrowserControl;

constexpr size_t kTwoThreadsFrom = 4096; // rows; fewer are not worth starting a thread

// `what` names the failed step and ends in the quote before the path.
zil::CIOError localError(const wchar_t* what, const zil::Path& path, const zil::CURI& uri, int error)
{
    zil::CIOError e(what + path.str() + L"': " + zil::getSysErrorText(error),
                    L"zilui::CFileSystemBrowserControl", zil::CIOError::codeCannotOpen);
    e.setProp(L"path", path.str());
    e.setProp(zil::CIOError::paramURI(), uri.toString());
    e.setProp(L"lastSysError", zil::toString(static_cast<int64_t>(error)));
    return e;
}

void logSkipped(const std::exception& e, const zil::String& uri)
{
    zil::logError(e, L"Error initializing item from '" + uri + L"' in CFileSystemBrowserControl. Ignoring.");
}

int typeOfMode(unsigned mode)
{
    return S_ISDIR(mode) ? Control::typeFolder : S_ISREG(mode) ? Control::typeFile : Control::typeOther;
}

// Follows links, as the local file system does. Returns 0 or the error number.
int statEntry(int folderFd, const char* name, int& type, int64_t& size)
{
    // A kernel or sandbox without statx still has fstatat.
    static std::atomic<bool> noStatx{false};
    if (!noStatx.load(std::memory_order_relaxed)) {
        struct statx st;
        if (::statx(folderFd, name, AT_STATX_DONT_SYNC, STATX_TYPE | STATX_SIZE, &st) == 0) {
            type = typeOfMode(st.stx_mode);
            size = (st.stx_mask & STATX_SIZE) ? static_cast<int64_t>(st.stx_size) : 0;
            return 0;
        }
        if (errno != ENOSYS)
            return errno;
        noStatx.store(true, std::memory_order_relaxed);
    }
    struct stat st;
    if (::fstatat(folderFd, name, &st, 0) != 0)
        return errno;
    type = typeOfMode(st.st_mode);
    size = static_cast<int64_t>(st.st_size);
    return 0;
}

} // namespace

void CBrowserListing::add(std::wstring_view name, int type, int64_t size, zil::CURI&& uri)
{
    Entry entry;
    entry.name = static_cast<uint32_t>(m_text.size());
    entry.nameLength = static_cast<uint32_t>(name.size());
    m_text.insert(m_text.end(), name.begin(), name.end());
    // The key is the name itself where folding changes nothing, the common case.
    const bool ascii = std::all_of(name.begin(), name.end(), [](wchar_t c) { return c >= 0 && c < 0x80; });
    const bool lower =
        ascii && std::none_of(name.begin(), name.end(), [](wchar_t c) { return c >= L'A' && c <= L'Z'; });
    if (lower) {
        entry.key = entry.name;
    } else {
        entry.key = static_cast<uint32_t>(m_text.size());
        if (ascii) {
            for (const wchar_t c : name)
                m_text.push_back(c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c);
        } else {
            const zil::String folded = zil::String(name).Lower();
            m_text.insert(m_text.end(), folded.begin(), folded.end());
        }
    }
    entry.keyLength = entry.nameLength;
    entry.uri = kNoURI;
    if (!uri.isEmpty()) {
        entry.uri = static_cast<uint32_t>(m_uris.size());
        m_uris.push_back(std::move(uri));
    }
    entry.type = type;
    entry.size = size;
    m_entries.push_back(entry);
}

void CBrowserListing::finish(const zil::CURI& folder, Items& previous, CResult& result)
{
    std::vector<uint32_t> order(m_entries.size());
    std::iota(order.begin(), order.end(), 0u);
    const auto rank = [](int type) {
        return type == Control::typeFolder ? 0 : type == Control::typeFile ? 1 : 2;
    };
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const Entry& x = m_entries[a];
        const Entry& y = m_entries[b];
        if (rank(x.type) != rank(y.type))
            return rank(x.type) < rank(y.type);
        const int c = keyOf(x).compare(keyOf(y));
        return c != 0 ? c < 0 : nameOf(x) < nameOf(y);
    });

    // Rows of a refresh that did not change are taken over with their map nodes. The previous
    // map is in the same order for most names, so the entry after the last one taken is tried
    // before a search.
    const size_t count = order.size();
    std::vector<Items::node_type> kept(count);
    if (!previous.empty()) {
        zil::String probe;
        auto next = previous.begin();
        for (size_t i = 0; i < count; ++i) {
            const Entry& entry = m_entries[order[i]];
            probe.assign(nameOf(entry));
            const auto found = next != previous.end() && next->first == probe ? next : previous.find(probe);
            if (found == previous.end())
                continue;
            next = std::next(found);
            if (found->second && found->second->type == entry.type &&
                (entry.type != Control::typeFile || found->second->size == entry.size))
                kept[i] = previous.extract(found);
        }
    }

    // The other rows are made before they are placed, a big listing's on two threads: making
    // the URI is most of what a row costs, and the rows do not depend on each other.
    std::vector<std::pair<zil::String, zil::P<CItem>>> made(count);
    const auto make = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            if (kept[i])
                continue;
            const Entry& entry = m_entries[order[i]];
            try {
                zil::String key(nameOf(entry));
                zil::P<CItem> item(new CItem);
                item->type = entry.type;
                if (entry.type == Control::typeFile)
                    item->size = entry.size;
                item->uri = entry.uri == kNoURI ? folder.join(key) : std::move(m_uris[entry.uri]);
                made[i] = {std::move(key), std::move(item)};
            } catch (const std::exception& e) {
                logSkipped(e, folder.toString() + L"/" + zil::String(nameOf(entry)));
            }
        }
    };
    std::thread helper;
    // Joined however this function is left: a thread still running when it goes would end
    // the process.
    const struct Joiner {
        std::thread& thread;
        ~Joiner()
        {
            if (thread.joinable())
                thread.join();
        }
    } joiner{helper};
    size_t half = count;
    if (count >= kTwoThreadsFrom) {
        try {
            half = count / 2;
            helper = std::thread([&make, half, count] {
                try {
                    make(half, count);
                } catch (...) {
                    // Only the log can fail here; the rows it was about are left out.
                }
            });
        } catch (const std::system_error&) {
            half = count; // no second thread: all of them here
        }
    }
    make(0, half);
    if (helper.joinable())
        helper.join();

    result.listOrder.reserve(count);
    // Case-blind order is the map's order for most names, so each row is placed right after
    // the one before, at no search.
    auto hint = result.items.end();
    for (size_t i = 0; i < count; ++i) {
        Items::iterator placed;
        bool added;
        if (kept[i]) {
            placed = result.items.insert(hint, std::move(kept[i]));
            added = !kept[i];
        } else if (made[i].second) {
            const size_t before = result.items.size();
            placed = result.items.emplace_hint(hint, std::move(made[i].first), std::move(made[i].second));
            added = result.items.size() != before;
        } else {
            continue; // logged when it could not be made
        }
        if (!added)
            continue; // a file system that lists a name twice
        hint = std::next(placed);
        const CItem& item = *placed->second;
        // A device, FIFO or socket has nothing to open or show a size for.
        if (item.type != Control::typeFile && item.type != Control::typeFolder) {
            zil::logInfo(L"CFileSystemBrowserControl: '" + item.uri.toString() +
                         L"' is neither a folder nor a file. Not listing it.");
            continue;
        }
        result.listOrder.emplace_back(placed->second);
    }
}

void readLocalFolder(const zil::CURI& folder, CBrowserListing& listing)
{
    const zil::Path path = folder.getLocalPath();
    const auto fail = [&](int error) { return localError(L"Cannot list folder '", path, folder, error); };
    if (path.isEmpty())
        throw fail(ENOENT);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.toAPIPath().c_str()), ::closedir);
    if (!dir)
        throw fail(zil::getLastSysError());
    const int folderFd = ::dirfd(dir.get());

    std::wstring ascii; // reused: most names need no decoding
    zil::String decoded;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                throw fail(errno);
            return;
        }
        const std::string_view raw(entry->d_name);
        if (raw == "." || raw == "..")
            continue;
        std::wstring_view name;
        int error = 0;
        if (std::all_of(raw.begin(), raw.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
            ascii.assign(raw.begin(), raw.end());
            name = ascii;
        } else {
            decoded = zil::String::fromUTF8(raw);
            name = decoded;
            // A name that is no UTF-8 cannot be given back as a URI.
            if (decoded.find(static_cast<wchar_t>(0xFFFD)) != zil::String::npos && decoded.toUTF8() != raw)
                error = EILSEQ;
        }
        int type = Control::typeOther;
        int64_t size = 0;
        switch (entry->d_type) {
        case DT_DIR:
            type = Control::typeFolder;
            break;
        case DT_REG:
        case DT_LNK:
        case DT_UNKNOWN:
            if (error == 0)
                error = statEntry(folderFd, entry->d_name, type, size);
            break;
        default:
            break; // a device, FIFO or socket: the kind is all there is to know
        }
        if (error != 0) {
            // Vanished since listed, a link that leads nowhere, or a name that is no UTF-8.
            try {
                const zil::String text(name);
                const zil::CURI uri = folder.join(text);
                logSkipped(localError(L"Cannot read '", path / zil::Path(text), uri, error), uri.toString());
            } catch (const std::exception& e) {
                logSkipped(e, folder.toString() + L"/" + zil::String(name));
            }
            continue;
        }
        listing.add(name, type, size);
    }
}

} // namespace zilui

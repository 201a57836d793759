// SPDX-License-Identifier: MIT
// The streams: one script of reads and seeks run against the same bytes in memory, in a
// file, and through wxWidgets and back; every stream must give the same answers.
#include "fuzzsupport.h"

#include <zilui/app/streams.h>

#include <zil/stream.h>

#include <wx/mstream.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// What one operation gave: a count, bytes, or the error code it threw.
struct SOutcome {
    int64_t value = 0;
    std::string bytes;
    int error = 0;
    bool operator!=(const SOutcome& o) const { return value != o.value || bytes != o.bytes || error != o.error; }
};

SOutcome run(zil::IInStream& stream, uint8_t op, uint8_t arg)
{
    SOutcome out;
    std::string buffer(arg, '\0');
    try {
        switch (op % 5) {
        case 0:
            out.value = stream.read(buffer.data(), arg);
            break;
        case 1:
            stream.readExact(buffer.data(), arg);
            out.value = arg;
            break;
        case 2:
            stream.seek(int64_t(arg) - 8);
            break;
        case 3:
            out.value = stream.isEOF() * 1000 + stream.getPosition();
            break;
        default:
            out.value = stream.getLength();
            break;
        }
    } catch (const zil::CIOError& e) {
        out.error = int(e.getCode());
    }
    if (op % 5 < 2 && !out.error)
        out.bytes = buffer.substr(0, size_t(std::clamp<int64_t>(out.value, 0, arg)));
    return out;
}

} // namespace

ZILUI_FUZZ_TARGET(streams)
{
    // The first half is the content, the second the script of operations.
    const size_t half = size / 2;
    const std::string content(reinterpret_cast<const char*>(data), half);
    const zil::Path file = zilui::fuzz::writeFile(L"stream.bin", content);
    std::vector<zil::P<zil::IInStream>> streams{
        zil::P<zil::IInStream>(new zil::CMemoryInStream(content.data(), content.size())),
        zil::P<zil::IInStream>(new zil::CFileInStream(file.str())),
        zil::P<zil::IInStream>(new zilui::CWXInStream(new wxMemoryInputStream(content.data(), content.size()), zil::CURI(file.str()))),
        zil::P<zil::IInStream>(new zilui::CWXInStream(
            new zilui::CInStreamToWXInputStreamAdapter(zil::P<zil::IInStream>(new zil::CMemoryInStream(content.data(), content.size()))),
            zil::CURI(file.str()))),
    };
    for (size_t i = half; i + 1 < size; i += 2) {
        const SOutcome expected = run(*streams[0], data[i], data[i + 1]);
        for (size_t s = 1; s < streams.size(); ++s)
            if (run(*streams[s], data[i], data[i + 1]) != expected)
                std::abort();
    }
}

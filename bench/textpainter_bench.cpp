// SPDX-License-Identifier: MIT
// Wrapping a label must stay linear in its length and cheap on real prose: the styled text
// painter measures each distinct word once per font, where the toolkit's text wrapper
// measures growing prefixes of every line.
#include "benchapp.h"
#include "ratio.h"

#include <zilui/graphics/styledtextpainter.h>

#include <benchmark/benchmark.h>

#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/settings.h>
#include <wx/arrstr.h>
#include <wx/textwrapper.h>

#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kWrapWidth = 300;

// Words of 1 to 10 lower-case letters, the same for every run.
wxString makeParagraph(int words)
{
    std::mt19937 random(20260101);
    std::uniform_int_distribution<int> length(1, 10), letter('a', 'z');
    wxString text;
    for (int i = 0; i < words; ++i) {
        if (i > 0)
            text += ' ';
        for (int n = length(random); n > 0; --n)
            text += wxUniChar(letter(random));
    }
    return text;
}

// A real text of about 5,600 words: the GPL shipped by Debian, one line per paragraph.
wxString licenceText()
{
    std::ifstream file("/usr/share/common-licenses/GPL-3");
    wxString text, paragraph;
    for (std::string line; std::getline(file, line);) {
        const wxString trimmed = wxString::FromUTF8(line).Trim().Trim(false);
        if (trimmed.empty()) {
            if (!paragraph.empty())
                text += (text.empty() ? "" : "\n") + paragraph;
            paragraph.clear();
        } else {
            paragraph += (paragraph.empty() ? "" : " ") + trimmed;
        }
    }
    if (!paragraph.empty())
        text += (text.empty() ? "" : "\n") + paragraph;
    return text;
}

class CWrapBench : public zilui::CLineBasedStyledTextPainter {
public:
    CWrapBench() : CLineBasedStyledTextPainter({}, zilui::CTextStyleFontCache::getDefaultGUIFontCache().get()) {}
    using CLineBasedStyledTextPainter::wrapText;
};

class CCollectingWrapper : public wxTextWrapper {
public:
    void OnOutputLine(const wxString& line) override { lines.push_back(line); }
    std::vector<wxString> lines;
};

// What the benchmarks paint with: a memory DC and a frame for wxTextWrapper, both in the
// default GUI font.
struct WrapScene {
    WrapScene() : bitmap(10, 10, 24), dc(bitmap), font(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT))
    {
        frame = new wxFrame(nullptr, wxID_ANY, "zilui-bench");
        frame->SetFont(font);
        dc.SetFont(font);
    }
    ~WrapScene()
    {
        dc.SelectObject(wxNullBitmap);
        frame->Destroy();
    }

    bench::Side painter(const char* name, int words)
    {
        auto text = std::make_shared<zil::String>(makeParagraph(words).ToStdWstring());
        return {name, [this, text](int64_t n) {
                    while (n-- > 0) {
                        wrapper.wrapText(dc, *text, kWrapWidth, &font, lines);
                        benchmark::DoNotOptimize(lines.data());
                    }
                }};
    }
    bench::Side textWrapper(const char* name, const wxString& text, int width)
    {
        return {name, [this, text, width](int64_t n) {
                    while (n-- > 0) {
                        CCollectingWrapper collecting;
                        collecting.Wrap(frame, text, width);
                        benchmark::DoNotOptimize(collecting.lines.data());
                    }
                }};
    }

    wxBitmap bitmap;
    wxMemoryDC dc;
    wxFont font;
    wxFrame* frame;
    CWrapBench wrapper;
    zil::TArray<zil::String> lines;
};

// wxTextWrapper is quadratic in the words of a line: one pass takes seconds.
void BM_WrapText10k(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    WrapScene scene;
    bench::compare(state, scene.painter("wrap 10,000-word paragraph", 10000),
                   scene.textWrapper("wxTextWrapper, 10,000 words", makeParagraph(10000), kWrapWidth), 0.01);
}
BENCHMARK(BM_WrapText10k)->Iterations(1);

void BM_WrapText100k(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    WrapScene scene;
    bench::compare(state, scene.painter("wrap 100,000-word paragraph", 100000),
                   scene.painter("wrap 10,000-word paragraph", 10000), 12.0);
}
BENCHMARK(BM_WrapText100k)->Iterations(1);

// The licence text, or empty with the benchmark skipped and the reason given.
wxString licenceTextOrSkip(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return wxString();
    }
    const wxString text = licenceText();
    if (text.empty())
        state.SkipWithError("/usr/share/common-licenses/GPL-3 is missing");
    return text;
}

// The licence text laid out into a 400 px column as a label would be: wrapped and measured.
// Once with the word widths cached from the run before (every repaint after the first), once
// from an empty cache (the first paint, real work). wxTextWrapper only wraps; the painter
// also measures the lines it made.
void BM_WrapLicenceText(benchmark::State& state, bool cold)
{
    const wxString text = licenceTextOrSkip(state);
    if (text.empty())
        return;
    WrapScene scene;
    zil::P<zilui::CTextStyle> style(new zilui::CTextStyle());
    style->setWrapText(true);
    zilui::CLineBasedStyledTextPainter painter({style}, zilui::CTextStyleFontCache::getDefaultGUIFontCache().get());
    const zil::String source(text.ToStdWstring());
    bench::compare(state,
                   {cold ? "licence text 400 px, empty cache" : "licence text 400 px", [&](int64_t n) {
                        while (n-- > 0) {
                            if (cold)
                                zilui::CLineBasedStyledTextPainter::disposeMeasurementCache();
                            benchmark::DoNotOptimize(painter.getTextSize(scene.dc, source, 400));
                        }
                    }},
                   scene.textWrapper("wxTextWrapper, licence text", text, 400), 0.33);
}
BENCHMARK_CAPTURE(BM_WrapLicenceText, Cached, false)->Iterations(1);
BENCHMARK_CAPTURE(BM_WrapLicenceText, EmptyCache, true)->Iterations(1);

// The same work on both sides: the licence text's paragraphs only wrapped, from an empty cache.
void BM_WrapLicenceTextOnly(benchmark::State& state)
{
    const wxString text = licenceTextOrSkip(state);
    if (text.empty())
        return;
    WrapScene scene;
    std::vector<zil::String> paragraphs;
    for (const wxString& paragraph : wxSplit(text, '\n', '\0'))
        paragraphs.emplace_back(paragraph.ToStdWstring());
    bench::compare(state,
                   {"licence text wrapped only, empty cache", [&](int64_t n) {
                        while (n-- > 0) {
                            zilui::CLineBasedStyledTextPainter::disposeMeasurementCache();
                            for (const zil::String& paragraph : paragraphs)
                                scene.wrapper.wrapText(scene.dc, paragraph, 400, &scene.font, scene.lines);
                            benchmark::DoNotOptimize(scene.lines.data());
                        }
                    }},
                   scene.textWrapper("wxTextWrapper, licence text", text, 400), 0.33);
}
BENCHMARK(BM_WrapLicenceTextOnly)->Iterations(1);

} // namespace

// SPDX-License-Identifier: MIT
// Wrapping a label must stay linear in its length: the styled text painter measures each word
// once, where the toolkit's text wrapper measures growing prefixes of the line.
#include "benchapp.h"
#include "ratio.h"

#include <zilui/graphics/styledtextpainter.h>

#include <benchmark/benchmark.h>

#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/settings.h>
#include <wx/textwrapper.h>

#include <memory>
#include <random>

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

class CWrapBench : public zilui::CLineBasedStyledTextPainter {
public:
    CWrapBench() : CLineBasedStyledTextPainter({}, zilui::CTextStyleFontCache::getDefaultGUIFontCache().get()) {}
    using CLineBasedStyledTextPainter::wrapText;
};

void wrapWords(benchmark::State& state, int words)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    const zil::String text(makeParagraph(words).ToStdWstring());
    wxBitmap bitmap(10, 10, 24);
    wxMemoryDC dc(bitmap);
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
    CWrapBench painter;
    zil::TArray<zil::String> lines;
    for (auto _ : state) {
        painter.wrapText(dc, text, kWrapWidth, &font, lines);
        benchmark::DoNotOptimize(lines.data());
    }
    state.counters["lines"] = double(lines.size());
    dc.SelectObject(wxNullBitmap);
}

void BM_WrapText10k(benchmark::State& state)
{
    wrapWords(state, 10000);
}
BENCHMARK(BM_WrapText10k)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_WrapText100k(benchmark::State& state)
{
    wrapWords(state, 100000);
}
BENCHMARK(BM_WrapText100k)->Unit(benchmark::kMillisecond)->Repetitions(5);

class CCollectingWrapper : public wxTextWrapper {
public:
    void OnOutputLine(const wxString& line) override { lines.push_back(line); }
    std::vector<wxString> lines;
};

// Quadratic in the words of a line: one pass takes seconds, so it runs once and the ratio
// uses that single time.
void BM_WrapBaselineTextWrapper10k(benchmark::State& state)
{
    if (!bench::ensureWX()) {
        state.SkipWithError("wxWidgets could not be started");
        return;
    }
    const wxString text = makeParagraph(10000);
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "zilui-bench");
    frame->SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    size_t lines = 0;
    for (auto _ : state) {
        CCollectingWrapper wrapper;
        wrapper.Wrap(frame, text, kWrapWidth);
        lines = wrapper.lines.size();
    }
    state.counters["lines"] = double(lines);
    frame->Destroy();
}
BENCHMARK(BM_WrapBaselineTextWrapper10k)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_RATIO(BM_WrapText10k, BM_WrapBaselineTextWrapper10k, 0.01);
BENCHMARK_RATIO(BM_WrapText100k, BM_WrapText10k, 12.0);

} // namespace

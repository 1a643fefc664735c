// Throughput of the walking text operations on large texts, beside baselines
// measured in the same run: memmem for the searches, memcpy of the same size
// for the operations that copy. Each benchmark takes the text size in MiB as
// its argument (64 and 128), so that twice the input can be compared with
// the time it takes.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "text/text.h"

namespace {

using qn::Text;

// A small, fast generator; the texts only need to look varied.
class XorShift {
public:
    uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<uint32_t>(state_ >> 11);
    }
    uint32_t below(uint32_t n) { return next() % n; }

private:
    uint64_t state_ = 0x9E3779B97F4A7C15ULL;
};

enum class Kind { Html, TwoByte };

constexpr const char* FIND_NEEDLE = "<a href=\"thread-4711-1-1.html\" class=\"s xst\">";
constexpr const char* FIRST_NEEDLE = "<a href=\"thread-1234-9-9.html\" class=\"s xst\">";
constexpr const char* LEFT_MARKER = "<span id=\"bench-left\">";
constexpr const char* RIGHT_MARKER = "</span><!--bench-right-->";

void append_two_byte(std::string& s, XorShift& r) {
    s += static_cast<char>(0xB0 + r.below(0x48));
    s += static_cast<char>(0xA1 + r.below(0x5E));
}

// An HTML-like listing page: mostly ASCII markup with some Chinese titles.
std::string html_line(XorShift& r) {
    static const char* const words[] = {"thread", "forum",  "class", "href", "title", "new",
                                        "xst",    "common", "by",    "icn",  "tbody", "em"};
    std::string s = "<tr><td class=\"icn\"><a href=\"forum.php?mod=viewthread&amp;tid=";
    s += std::to_string(100000 + r.below(900000));
    s += "\" title=\"";
    const uint32_t n = 2 + r.below(6);
    for (uint32_t k = 0; k < n; ++k) {
        if (r.below(3) == 0) {
            append_two_byte(s, r);
            append_two_byte(s, r);
        } else {
            s += words[r.below(12)];
        }
        s += ' ';
    }
    s += "\">  Re: ";
    s += words[r.below(12)];
    s += "</a></td>\n";
    return s;
}

// Mostly two-byte characters, with now and then a space, an ASCII word or a
// line break.
std::string two_byte_line(XorShift& r) {
    std::string s;
    const uint32_t n = 20 + r.below(40);
    for (uint32_t k = 0; k < n; ++k) {
        append_two_byte(s, r);
        if (r.below(16) == 0) s += ' ';
        if (r.below(40) == 0) s += "Abc";
        if (r.below(30) == 0) s += "\xA1\xA1";
    }
    s += '\n';
    return s;
}

// The text of `mib` MiB: a few blanks at both ends (so that trimming has
// work), the "first" needle near the start, and the left marker, the find
// needle and the right marker near the end.
const Text& corpus(Kind kind, int64_t mib) {
    static std::map<std::pair<Kind, int64_t>, std::unique_ptr<Text>> cache;
    auto& slot = cache[{kind, mib}];
    if (slot) return *slot;
    const size_t size = static_cast<size_t>(mib) << 20;
    XorShift r;
    std::string s = "  \xA1\xA1 ";
    s += kind == Kind::Html ? html_line(r) : two_byte_line(r);
    s += FIRST_NEEDLE;
    const size_t tail = 4096;
    while (s.size() < size - tail) s += kind == Kind::Html ? html_line(r) : two_byte_line(r);
    s.resize(size - tail);
    s += "\n";
    s += LEFT_MARKER;
    s += "bench value";
    s += RIGHT_MARKER;
    s += FIND_NEEDLE;
    while (s.size() < size - 4) s += kind == Kind::Html ? "<br>" : "\xB0\xA1";
    s.resize(size - 4);
    s += " \xA1\xA1 ";
    slot = std::make_unique<Text>(std::move(s));
    return *slot;
}

Kind kind_of(const benchmark::State& state) {
    return state.range(1) == 0 ? Kind::Html : Kind::TwoByte;
}

const Text& text_of(const benchmark::State& state) {
    return corpus(kind_of(state), state.range(0));
}

void finish(benchmark::State& state, const Text& t) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * qn::txt_len(t));
}

// Runs an operation once before timing, so that the heap already holds the
// memory its result needs (see main).
template <class Op>
void warm_up(Op op) {
    auto result = op();
    benchmark::DoNotOptimize(result);
}

// --- searches ----------------------------------------------------------------------

void BM_memmem(benchmark::State& state) {
    const Text& t = text_of(state);
    const std::string_view nd = FIND_NEEDLE;
    for (auto _ : state) {
        const void* hit = memmem(t.view().data(), t.view().size(), nd.data(), nd.size());
        benchmark::DoNotOptimize(hit);
    }
    finish(state, t);
}

void BM_txt_find(benchmark::State& state) {
    const Text& t = text_of(state);
    const Text nd(FIND_NEEDLE);
    for (auto _ : state) benchmark::DoNotOptimize(qn::txt_find(t, nd));
    finish(state, t);
}

void BM_txt_find_ignore_case(benchmark::State& state) {
    const Text& t = text_of(state);
    const Text nd(FIND_NEEDLE);
    for (auto _ : state) benchmark::DoNotOptimize(qn::txt_find(t, nd, std::nullopt, true));
    finish(state, t);
}

// The needle of txt_rfind stands near the start, so the search crosses the
// whole text from the end.
void BM_txt_rfind(benchmark::State& state) {
    const Text& t = text_of(state);
    const Text nd(FIRST_NEEDLE);
    for (auto _ : state) benchmark::DoNotOptimize(qn::txt_rfind(t, nd));
    finish(state, t);
}

void BM_txt_between(benchmark::State& state) {
    const Text& t = text_of(state);
    const Text left(LEFT_MARKER);
    const Text right(RIGHT_MARKER);
    for (auto _ : state) {
        Text v = qn::txt_between(t, left, right);
        benchmark::DoNotOptimize(v);
    }
    finish(state, t);
}

// --- copying operations -------------------------------------------------------

void BM_memcpy(benchmark::State& state) {
    const Text& t = text_of(state);
    std::string out(t.view().size(), '\0');
    for (auto _ : state) {
        std::memcpy(out.data(), t.view().data(), t.view().size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    finish(state, t);
}

// A copy into a freshly allocated string, as the operations make.
void BM_copy_new_string(benchmark::State& state) {
    const Text& t = text_of(state);
    warm_up([&] { return std::string(t.view()); });
    for (auto _ : state) {
        std::string out(t.view());
        benchmark::DoNotOptimize(out.data());
    }
    finish(state, t);
}

void BM_txt_substitute(benchmark::State& state) {
    const Text& t = text_of(state);
    // A frequent short token in each text, replaced by a longer one.
    const Text sub(kind_of(state) == Kind::Html ? "<td" : " ");
    const Text repl(kind_of(state) == Kind::Html ? "<TD " : "\xA1\xA1");
    warm_up([&] { return qn::txt_substitute(t, sub, repl); });
    for (auto _ : state) {
        Text v = qn::txt_substitute(t, sub, repl);
        benchmark::DoNotOptimize(v);
    }
    finish(state, t);
}

void BM_txt_split(benchmark::State& state) {
    const Text& t = text_of(state);
    const Text sep("\n");
    warm_up([&] { return qn::txt_split(t, sep); });
    for (auto _ : state) {
        qn::TextList lines = qn::txt_split(t, sep);
        benchmark::DoNotOptimize(lines);
    }
    finish(state, t);
}

void BM_txt_trim(benchmark::State& state) {
    const Text& t = text_of(state);
    warm_up([&] { return qn::txt_trim(t); });
    for (auto _ : state) {
        Text v = qn::txt_trim(t);
        benchmark::DoNotOptimize(v);
    }
    finish(state, t);
}

void BM_txt_strip_spaces(benchmark::State& state) {
    const Text& t = text_of(state);
    warm_up([&] { return qn::txt_strip_spaces(t); });
    for (auto _ : state) {
        Text v = qn::txt_strip_spaces(t);
        benchmark::DoNotOptimize(v);
    }
    finish(state, t);
}

void BM_txt_lower(benchmark::State& state) {
    const Text& t = text_of(state);
    warm_up([&] { return qn::txt_lower(t); });
    for (auto _ : state) {
        Text v = qn::txt_lower(t);
        benchmark::DoNotOptimize(v);
    }
    finish(state, t);
}

// Arguments: text size in MiB, text kind (0 HTML-like, 1 mostly two-byte).
void sizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"MiB", "two_byte"});
    for (int kind : {0, 1})
        for (int mib : {64, 128}) b->Args({mib, kind});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_memmem)->Apply(sizes);
BENCHMARK(BM_txt_find)->Apply(sizes);
BENCHMARK(BM_txt_find_ignore_case)->Apply(sizes);
BENCHMARK(BM_txt_rfind)->Apply(sizes);
BENCHMARK(BM_txt_between)->Apply(sizes);
BENCHMARK(BM_memcpy)->Apply(sizes);
BENCHMARK(BM_copy_new_string)->Apply(sizes);
BENCHMARK(BM_txt_substitute)->Apply(sizes);
BENCHMARK(BM_txt_split)->Apply(sizes);
BENCHMARK(BM_txt_trim)->Apply(sizes);
BENCHMARK(BM_txt_strip_spaces)->Apply(sizes);
BENCHMARK(BM_txt_lower)->Apply(sizes);

}  // namespace

// Every operation returns a new value, so each iteration allocates its
// result. By default the benchmark keeps freed memory in the heap (no mmap
// for large blocks, no trimming), so that an iteration reuses the pages of
// the one before and the figures show the operations' own work; with
// --fresh_pages each result gets fresh pages from the system, as a single
// call in a fresh process would, and the page faults are part of the time
// (BM_copy_new_string shows what that costs for a plain copy).
int main(int argc, char** argv) {
    bool fresh_pages = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--fresh_pages") {
            fresh_pages = true;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    if (!fresh_pages) {
        mallopt(M_MMAP_MAX, 0);
        mallopt(M_TRIM_THRESHOLD, INT_MAX);
        mallopt(M_MXFAST, 0);
    }
    benchmark::AddCustomContext("pages", fresh_pages ? "fresh for every result" : "reused");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// RegexMatcher over a 16 MiB listing page as the loader drives it (create,
// match_count, two match_text calls per match), beside a bare PCRE2 JIT loop
// that collects the same matches from the same UTF-16 subject in the same
// run; and the time `create` takes on a 1 MiB page built to make the
// loader's pattern backtrack.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <benchmark/benchmark.h>
#include <pcre2.h>

#include <memory>
#include <string>
#include <vector>

#include "regex/engine.h"
#include "regex/regex_matcher.h"
#include "text/codepage.h"
#include "text/fixed_texts.h"
#include "text/text.h"

namespace {

using qn::Text;

constexpr size_t PAGE_BYTES = 16 * 1024 * 1024;
constexpr int ANCHORS = 100'000;

// The loader's pattern with its quote markers expanded.
const std::string& plain_pattern() {
    static const std::string p =
        qn::txt_substitute(qn::texts::THREAD_PATTERN, qn::texts::QUOTE_TOKEN, "\"").str();
    return p;
}

std::string cp(std::string_view utf8) { return qn::utf8_to_cp936(utf8); }

// A listing page in code page 936: rows of ordinary markup with one thread
// anchor each, every row the same share of the page.
const Text& listing_page() {
    static const Text page = [] {
        const std::string titles[] = {
            cp("【分享】一款好用的安全软件"), cp("【求助】系统启动变慢怎么办"),
            cp("【讨论】杀毒软件误报问题"),   cp("【原创】浏览器设置小技巧"),
            cp("【测试】新版防火墙体验"),     cp("【转载】病毒样本分析报告"),
        };
        const std::string author = cp("作者：卡饭用户");
        const std::string fillers[] = {
            "<td class=\"num\"><em>1024</em></td>",
            cp("<td class=\"by\"><em>最后发表</em></td>"),
            "<span class=\"xg1\">2024-05-01 12:00</span>",
            cp("<a href=\"space-uid-1.html\">查看</a>"),
        };
        std::string s;
        s.reserve(PAGE_BYTES);
        for (int i = 0; i < ANCHORS; ++i) {
            const size_t row_end = (static_cast<size_t>(i) + 1) * PAGE_BYTES / ANCHORS;
            const std::string id = std::to_string(100000 + i);
            s += "<tr><th><a href=\"thread-" + id + "-1-1.html\" onclick=\"atarget(this)\" " +
                 "class=\"s xst\">" + titles[i % 6] + id + "</a></th><td>" + author + "</td>\n";
            for (size_t f = 0; s.size() + fillers[f % 4].size() + 1 <= row_end; ++f) {
                s += fillers[f % 4];
            }
            s.append(row_end - 1 - s.size(), ' ');
            s += '\n';
        }
        return Text(std::move(s));
    }();
    return page;
}

void BM_MatcherAsTheLoaderDrivesIt(benchmark::State& state) {
    const Text& page = listing_page();
    int64_t bytes = 0;
    for (auto _ : state) {
        qn::RegexMatcher m;
        if (!m.create(qn::texts::THREAD_PATTERN, page, false, false, true, true)) {
            state.SkipWithError("create failed");
            return;
        }
        const int32_t n = m.match_count();
        if (n != ANCHORS) {
            state.SkipWithError("wrong match count");
            return;
        }
        for (int32_t i = 1; i <= n; ++i) {
            const Text title = m.match_text(i);
            const Text link = m.match_text(i);
            bytes += static_cast<int64_t>(title.view().size() + link.view().size());
        }
    }
    benchmark::DoNotOptimize(bytes);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.view().size()));
}

// Positions asked for `asked` matches spread evenly over the page. Each
// position is a byte search that starts FirstIndex bytes into the page, so it
// walks over one byte per two-byte character before the match; the first
// question also reads the whole subject back as text once.
void BM_MatcherWithPositions(benchmark::State& state) {
    const Text& page = listing_page();
    const int32_t asked = static_cast<int32_t>(state.range(0));
    int64_t sum = 0;
    for (auto _ : state) {
        qn::RegexMatcher m;
        if (!m.create(qn::texts::THREAD_PATTERN, page, false, false, true, true)) {
            state.SkipWithError("create failed");
            return;
        }
        for (int32_t k = 1; k <= asked; ++k) {
            int32_t position = 0;
            benchmark::DoNotOptimize(m.match_text(k * (ANCHORS / asked), &position));
            sum += position;
        }
    }
    benchmark::DoNotOptimize(sum);
}

struct CodeFree {
    void operator()(pcre2_code* p) const { pcre2_code_free(p); }
};
struct DataFree {
    void operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
};

// The baseline: the loader's pattern compiled by PCRE2 with JIT, run over the
// page already decoded to UTF-16, every match's text collected.
void BM_BarePcre2JitLoop(benchmark::State& state) {
    const std::u16string subject = qn::cp936_to_utf16(listing_page().view());
    const std::u16string pattern = qn::cp936_to_utf16(plain_pattern());
    int64_t units = 0;
    for (auto _ : state) {
        int error = 0;
        PCRE2_SIZE at = 0;
        std::unique_ptr<pcre2_code, CodeFree> code(
            pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                          PCRE2_CASELESS, &error, &at, nullptr));
        if (!code || pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE) != 0) {
            state.SkipWithError("compile failed");
            return;
        }
        std::unique_ptr<pcre2_match_data, DataFree> data(
            pcre2_match_data_create_from_pattern(code.get(), nullptr));
        std::vector<std::u16string> matches;
        PCRE2_SIZE start = 0;
        const auto* s = reinterpret_cast<PCRE2_SPTR>(subject.data());
        while (pcre2_jit_match(code.get(), s, subject.size(), start, 0, data.get(), nullptr) > 0) {
            const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data.get());
            matches.emplace_back(subject, ov[0], ov[1] - ov[0]);
            start = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
        }
        if (matches.size() != ANCHORS) {
            state.SkipWithError("wrong match count");
            return;
        }
        units += static_cast<int64_t>(matches.back().size());
    }
    benchmark::DoNotOptimize(units);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(listing_page().view().size()));
}

// Where the matcher's time goes, each part on its own: decoding the page to
// UTF-16 (the text toolkit's code page conversion, inside `create`) ...
void BM_PartDecodePage(benchmark::State& state) {
    const Text& page = listing_page();
    for (auto _ : state) {
        benchmark::DoNotOptimize(qn::cp936_to_utf16(page.view()));
    }
}

// ... the engine layer's "Execute" over the decoded page (the counterpart of
// the bare loop's search) ...
void BM_PartEngineExecute(benchmark::State& state) {
    using qn::regexp::As;
    using qn::regexp::Value;
    const Value subject = Value::text(qn::cp936_to_utf16(listing_page().view()));
    const Value pattern = Value::text(qn::cp936_to_utf16(plain_pattern()));
    const auto layer = qn::regexp::platform_engine();
    for (auto _ : state) {
        const auto engine = layer->instantiate(qn::regexp::REGEXP_CLASS);
        engine->put("IgnoreCase", Value::boolean(true));
        engine->put("Multiline", Value::boolean(false));
        engine->put("Global", Value::boolean(true));
        engine->put("Pattern", pattern);
        const Value args[] = {subject};
        const auto matches = engine->call("Execute", args, As::object).as_object();
        if (!matches || matches->get("Count", {}, As::number).as_number() != ANCHORS) {
            state.SkipWithError("wrong match count");
            return;
        }
    }
}

// ... and the loader's questions once `create` is done.
void BM_PartQuestions(benchmark::State& state) {
    qn::RegexMatcher m;
    if (!m.create(qn::texts::THREAD_PATTERN, listing_page(), false, false, true, true)) {
        state.SkipWithError("create failed");
        return;
    }
    int64_t bytes = 0;
    for (auto _ : state) {
        const int32_t n = m.match_count();
        for (int32_t i = 1; i <= n; ++i) {
            bytes += static_cast<int64_t>(m.match_text(i).view().size());
            bytes += static_cast<int64_t>(m.match_text(i).view().size());
        }
    }
    benchmark::DoNotOptimize(bytes);
}

// The questions' share that is the engine layer's own: "Item" and "Value"
// twice per match, without the conversion of the answer to code page 936.
void BM_PartLayerQuestions(benchmark::State& state) {
    using qn::regexp::As;
    using qn::regexp::Value;
    const Value subject = Value::text(qn::cp936_to_utf16(listing_page().view()));
    const auto engine = qn::regexp::platform_engine()->instantiate(qn::regexp::REGEXP_CLASS);
    engine->put("IgnoreCase", Value::boolean(true));
    engine->put("Global", Value::boolean(true));
    engine->put("Pattern", Value::text(qn::cp936_to_utf16(plain_pattern())));
    const Value args[] = {subject};
    const auto matches = engine->call("Execute", args, As::object).as_object();
    if (!matches) {
        state.SkipWithError("Execute failed");
        return;
    }
    int64_t units = 0;
    for (auto _ : state) {
        const int32_t n = static_cast<int32_t>(matches->get("Count", {}, As::number).as_number());
        for (int32_t i = 0; i < 2 * n; ++i) {
            const Value index[] = {Value::number(i / 2)};
            const auto match = matches->get("Item", index, As::object).as_object();
            units += static_cast<int64_t>(match->get("Value", {}, As::text).as_text().size());
        }
    }
    benchmark::DoNotOptimize(units);
}

// One line of 1 MiB on which every anchor start can stretch its lazy groups
// over every later quote and never finds "</a>".
void BM_BacktrackingPageCreate(benchmark::State& state) {
    std::string s = "<a href=\"";
    while (s.size() < 1024 * 1024) {
        s += "x\" onclick=\"x\" class=\"x\">x";
    }
    const Text page(std::move(s));
    bool created = true;
    for (auto _ : state) {
        qn::RegexMatcher m;
        created = m.create(qn::texts::THREAD_PATTERN, page, false, false, true, true);
        benchmark::DoNotOptimize(created);
    }
    state.counters["created"] = created ? 1 : 0;
}

BENCHMARK(BM_BarePcre2JitLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatcherAsTheLoaderDrivesIt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatcherWithPositions)->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartDecodePage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartEngineExecute)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartQuestions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PartLayerQuestions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BacktrackingPageCreate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

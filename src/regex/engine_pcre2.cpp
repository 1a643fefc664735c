// The engine layer on Linux: a "VBScript.RegExp"-shaped object over PCRE2
// with 16-bit code units, so match starts count UTF-16 units as the
// automation class counts wide characters.
//
// The dialect follows the automation class as observed: "." matches any
// unit but a line terminator (LF, CR, U+2028, U+2029); with Multiline, "^"
// and "$" match next to those terminators; without it, only at the very
// start and end; "\s" is the Unicode white-space set; case folding and
// "\d", "\w", "\b" are ASCII; "\uXXXX" and "\xXX" name code units; a
// backslash before a letter without meaning is that letter; a reference to
// a group that has not matched matches the empty text; after an empty
// match the next search starts one unit further on.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "regex/engine.h"
#include "text/fatal.h"

namespace qn::regexp {

namespace {

// Work bounds: a match attempt from one start position may take this many
// backtracking steps (and, in the interpreter, this nesting depth) before
// the search gives up, and a search that gives up ends the whole scan as a
// failed "Execute". A page that makes the pattern backtrack from its first
// anchor on thus fails within milliseconds instead of freezing the program.
constexpr uint32_t MATCH_LIMIT = 10'000'000;
constexpr uint32_t DEPTH_LIMIT = 100'000;
constexpr size_t JIT_STACK_MAX = 1024 * 1024;

// --- owning wrappers ------------------------------------------------------

struct CodeFree {
    void operator()(pcre2_code* p) const noexcept { pcre2_code_free(p); }
};
struct MatchDataFree {
    void operator()(pcre2_match_data* p) const noexcept { pcre2_match_data_free(p); }
};
struct MatchContextFree {
    void operator()(pcre2_match_context* p) const noexcept { pcre2_match_context_free(p); }
};
struct JitStackFree {
    void operator()(pcre2_jit_stack* p) const noexcept { pcre2_jit_stack_free(p); }
};
using Code = std::unique_ptr<pcre2_code, CodeFree>;
using MatchData = std::unique_ptr<pcre2_match_data, MatchDataFree>;
using MatchContext = std::unique_ptr<pcre2_match_context, MatchContextFree>;
using JitStack = std::unique_ptr<pcre2_jit_stack, JitStackFree>;

template <class T>
T* checked(T* p, uint64_t bytes) {
    if (!p) {
        fatal_out_of_memory(bytes);
    }
    return p;
}

// --- names and values -----------------------------------------------------

bool is_named(std::string_view member, std::string_view name) {
    if (member.size() != name.size()) {
        return false;
    }
    for (size_t i = 0; i < name.size(); ++i) {
        char a = member[i];
        char b = name[i];
        if (a >= 'A' && a <= 'Z') {
            a = static_cast<char>(a + 0x20);
        }
        if (b >= 'A' && b <= 'Z') {
            b = static_cast<char>(b + 0x20);
        }
        if (a != b) {
            return false;
        }
    }
    return true;
}

// A flag as an automation engine reads one: a flag, a non-zero number, or a
// text reading "True"/"False" or a number.
bool to_flag(const Value& value, bool& out) {
    switch (value.kind()) {
        case Value::Kind::boolean:
            out = value.as_bool();
            return true;
        case Value::Kind::empty:
            out = false;
            return true;
        case Value::Kind::text: {
            std::string ascii;
            for (char16_t c : value.as_text()) {
                ascii.push_back(c < 0x80 ? static_cast<char>(c) : '?');
            }
            if (is_named(ascii, "true") || is_named(ascii, "false")) {
                out = is_named(ascii, "true");
                return true;
            }
            break;
        }
        default:
            break;
    }
    const Value n = coerce(value, As::number);
    if (n.kind() != Value::Kind::number) {
        return false;
    }
    out = n.as_number() != 0.0;
    return true;
}

// An index argument rounded as automation rounds a double to an integer
// (halves to even); false when there is none or it does not fit.
bool to_index(std::span<const Value> args, size_t& out) {
    if (args.size() != 1) {
        return false;
    }
    const Value n = coerce(args[0], As::number);
    if (n.kind() != Value::Kind::number) {
        return false;
    }
    const double d = std::nearbyint(n.as_number());
    if (!(d >= 0.0) || d > 2147483647.0) {
        return false;
    }
    out = static_cast<size_t>(d);
    return true;
}

Value answer(Value value, As as) { return as == As::any ? value : coerce(value, as); }

// --- pattern dialect ------------------------------------------------------

struct Range {
    char16_t first;
    char16_t last;
};

// The white space "\s" stands for.
constexpr Range WHITE_SPACE[] = {
    {0x09, 0x0D},     {0x20, 0x20},     {0x85, 0x85},     {0xA0, 0xA0},     {0x1680, 0x1680},
    {0x2000, 0x200A}, {0x2028, 0x2029}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000},
};

// A code unit written as "\\uHHHH", which PCRE2 reads in the alternative
// escape syntax used here.
std::u16string unit(char16_t c) {
    static constexpr char16_t digits[] = u"0123456789abcdef";
    std::u16string s = u"\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
        s.push_back(digits[(c >> shift) & 0xF]);
    }
    return s;
}

std::u16string ranges_text(const std::vector<Range>& ranges) {
    std::u16string s;
    for (const Range& r : ranges) {
        s += unit(r.first);
        if (r.last != r.first) {
            s += u'-';
            s += unit(r.last);
        }
    }
    return s;
}

const std::u16string& white_space_items() {
    static const std::u16string text =
        ranges_text(std::vector<Range>(std::begin(WHITE_SPACE), std::end(WHITE_SPACE)));
    return text;
}

const std::u16string& other_than_white_space_items() {
    static const std::u16string text = [] {
        std::vector<Range> rest;
        char32_t next = 0;
        for (const Range& r : WHITE_SPACE) {
            if (r.first > next) {
                rest.push_back({static_cast<char16_t>(next), static_cast<char16_t>(r.first - 1)});
            }
            next = static_cast<char32_t>(r.last) + 1;
        }
        rest.push_back({static_cast<char16_t>(next), 0xFFFF});
        return ranges_text(rest);
    }();
    return text;
}

constexpr std::u16string_view NOT_LINE_TERMINATOR = u"[^\\n\\r\\u2028\\u2029]";

// Rewrites a pattern of the automation dialect into PCRE2 syntax (see the
// top of this file). What PCRE2 already reads the same way is copied.
std::u16string translate(std::u16string_view p, bool multiline) {
    std::u16string out;
    out.reserve(p.size() + 16);
    bool in_class = false;
    for (size_t i = 0; i < p.size(); ++i) {
        const char16_t c = p[i];
        if (c == u'\\') {
            if (i + 1 == p.size()) {
                out += c;  // a lone final backslash: PCRE2 rejects it too
                break;
            }
            const char16_t d = p[++i];
            switch (d) {
                case u's':
                    out += in_class ? white_space_items() : u"[" + white_space_items() + u"]";
                    break;
                case u'S':
                    out += in_class ? other_than_white_space_items()
                                    : u"[^" + white_space_items() + u"]";
                    break;
                case u'v':
                    out += u"\\u000b";
                    break;
                case u'b':
                case u'B':
                case u'd':
                case u'D':
                case u'w':
                case u'W':
                case u'f':
                case u'n':
                case u'r':
                case u't':
                case u'c':
                case u'x':
                case u'u':
                    out += c;
                    out += d;
                    break;
                default:
                    if ((d >= u'a' && d <= u'z') || (d >= u'A' && d <= u'Z')) {
                        out += d;  // no meaning: the letter itself
                    } else {
                        out += c;  // digits (references, octal) and literal punctuation
                        out += d;
                    }
                    break;
            }
            continue;
        }
        if (in_class) {
            if (c == u']') {
                in_class = false;
            }
            out += c == u'[' ? std::u16string(u"\\[") : std::u16string(1, c);
            continue;
        }
        switch (c) {
            case u'[':
                in_class = true;
                out += c;
                if (i + 1 < p.size() && p[i + 1] == u'^') {
                    out += p[++i];
                }
                // "]" right after the opening is the end of an empty class.
                if (i + 1 < p.size() && p[i + 1] == u']') {
                    out += p[++i];
                    in_class = false;
                }
                break;
            case u'.':
                out += NOT_LINE_TERMINATOR;
                break;
            case u'^':
                out += multiline ? u"(?<!" + std::u16string(NOT_LINE_TERMINATOR) + u")" : u"^";
                break;
            case u'$':
                out += multiline ? u"(?!" + std::u16string(NOT_LINE_TERMINATOR) + u")" : u"$";
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

// --- compiled patterns and scans ------------------------------------------

struct Program {
    Code code;
    uint32_t groups = 0;
};

std::shared_ptr<const Program> compile(std::u16string_view pattern, bool ignore_case,
                                       bool multiline) {
    const std::u16string source = translate(pattern, multiline);
    uint32_t options = PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF |
                       PCRE2_DOLLAR_ENDONLY | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP |
                       PCRE2_NEVER_BACKSLASH_C;
    if (ignore_case) {
        options |= PCRE2_CASELESS;
    }
    int error = 0;
    PCRE2_SIZE error_at = 0;
    Code code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(source.data()), source.size(), options,
                            &error, &error_at, nullptr));
    if (!code) {
        if (error == PCRE2_ERROR_NOMEMORY) {
            fatal_out_of_memory(source.size() * 2);
        }
        return nullptr;
    }
    pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);  // the interpreter runs when JIT cannot
    auto program = std::make_shared<Program>();
    pcre2_pattern_info(code.get(), PCRE2_INFO_CAPTURECOUNT, &program->groups);
    program->code = std::move(code);
    return program;
}

// Every match of `program` in `subject` (only the first unless `global`),
// handed to `found` as PCRE2's offset vector. False when a search fails
// for any reason but finding nothing (a work bound reached, memory).
bool scan(const Program& program, std::u16string_view subject, bool global,
          const std::function<void(const PCRE2_SIZE*)>& found) {
    MatchData data(
        checked(pcre2_match_data_create_from_pattern(program.code.get(), nullptr), 1024));
    MatchContext context(checked(pcre2_match_context_create(nullptr), 1024));
    pcre2_set_match_limit(context.get(), MATCH_LIMIT);
    pcre2_set_depth_limit(context.get(), DEPTH_LIMIT);
    JitStack stack(
        checked(pcre2_jit_stack_create(32 * 1024, JIT_STACK_MAX, nullptr), JIT_STACK_MAX));
    pcre2_jit_stack_assign(context.get(), nullptr, stack.get());

    const auto* units = reinterpret_cast<PCRE2_SPTR>(subject.data());
    PCRE2_SIZE start = 0;
    while (start <= subject.size()) {
        const int rc = pcre2_match(program.code.get(), units, subject.size(), start, 0, data.get(),
                                   context.get());
        if (rc == PCRE2_ERROR_NOMATCH) {
            return true;
        }
        if (rc < 0) {
            return false;
        }
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data.get());
        found(ov);
        if (!global) {
            return true;
        }
        // The next search starts where the match ended, or one unit further
        // on after an empty match.
        start = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
    }
    return true;
}

// --- objects --------------------------------------------------------------

// The outcome of one "Execute": the subject and, per match, the start and
// end of the match and of each group (PCRE2_UNSET for a group that took no
// part).
struct Outcome {
    std::shared_ptr<const std::u16string> subject;
    uint32_t groups = 0;
    std::vector<PCRE2_SIZE> offsets;

    size_t count() const { return offsets.size() / (2 * (groups + 1)); }
    const PCRE2_SIZE* match(size_t i) const { return offsets.data() + i * 2 * (groups + 1); }
    Value slice(PCRE2_SIZE from, PCRE2_SIZE to) const {
        if (from == PCRE2_UNSET) {
            return Value();
        }
        return Value::text(subject->substr(from, to - from));
    }
};

class GroupCollection final : public Object {
public:
    GroupCollection(std::shared_ptr<const Outcome> outcome, size_t match)
        : outcome_(std::move(outcome)), match_(match) {}

    Value get(std::string_view member, std::span<const Value> args, As as) override {
        if (is_named(member, "Count") && args.empty()) {
            return answer(Value::integer(static_cast<int32_t>(outcome_->groups)), as);
        }
        size_t i = 0;
        if (is_named(member, "Item") && to_index(args, i) && i < outcome_->groups) {
            const PCRE2_SIZE* ov = outcome_->match(match_);
            return answer(outcome_->slice(ov[2 * (i + 1)], ov[2 * (i + 1) + 1]), as);
        }
        return Value();
    }
    bool put(std::string_view, const Value&) override { return false; }
    Value call(std::string_view, std::span<const Value>, As) override { return Value(); }

private:
    std::shared_ptr<const Outcome> outcome_;
    size_t match_;
};

class Match final : public Object {
public:
    Match(std::shared_ptr<const Outcome> outcome, size_t match)
        : outcome_(std::move(outcome)), match_(match) {}

    Value get(std::string_view member, std::span<const Value> args, As as) override {
        if (!args.empty()) {
            return Value();
        }
        const PCRE2_SIZE* ov = outcome_->match(match_);
        if (is_named(member, "Value")) {
            return answer(outcome_->slice(ov[0], ov[1]), as);
        }
        if (is_named(member, "FirstIndex")) {
            return answer(Value::integer(static_cast<int32_t>(ov[0])), as);
        }
        if (is_named(member, "Length")) {
            return answer(Value::integer(static_cast<int32_t>(ov[1] - ov[0])), as);
        }
        if (is_named(member, "SubMatches")) {
            return answer(Value::object(std::make_shared<GroupCollection>(outcome_, match_)), as);
        }
        return Value();
    }
    bool put(std::string_view, const Value&) override { return false; }
    Value call(std::string_view, std::span<const Value>, As) override { return Value(); }

private:
    std::shared_ptr<const Outcome> outcome_;
    size_t match_;
};

class MatchCollection final : public Object {
public:
    explicit MatchCollection(std::shared_ptr<const Outcome> outcome)
        : outcome_(std::move(outcome)) {}

    Value get(std::string_view member, std::span<const Value> args, As as) override {
        if (is_named(member, "Count") && args.empty()) {
            return answer(Value::integer(static_cast<int32_t>(outcome_->count())), as);
        }
        size_t i = 0;
        if (is_named(member, "Item") && to_index(args, i) && i < outcome_->count()) {
            return answer(Value::object(std::make_shared<Match>(outcome_, i)), as);
        }
        return Value();
    }
    bool put(std::string_view, const Value&) override { return false; }
    Value call(std::string_view, std::span<const Value>, As) override { return Value(); }

private:
    std::shared_ptr<const Outcome> outcome_;
};

// The replacement text for one match: $1 to $99 (a two-digit reference
// when that group exists, else a one-digit one), $& (the match), $` (the
// text before it), $' (the text after it) and $$ (a dollar sign); any other
// "$" stands for itself, and a group that took no part gives nothing.
void expand(std::u16string& out, std::u16string_view replacement, std::u16string_view subject,
            const PCRE2_SIZE* ov, uint32_t groups) {
    auto group = [&](uint32_t g) {
        const PCRE2_SIZE from = ov[2 * g];
        if (from != PCRE2_UNSET) {
            out.append(subject.substr(from, ov[2 * g + 1] - from));
        }
    };
    auto digit = [&](size_t i) -> int {
        return i < replacement.size() && replacement[i] >= u'0' && replacement[i] <= u'9'
                   ? replacement[i] - u'0'
                   : -1;
    };
    for (size_t i = 0; i < replacement.size(); ++i) {
        const char16_t c = replacement[i];
        if (c != u'$' || i + 1 == replacement.size()) {
            out += c;
            continue;
        }
        const char16_t d = replacement[i + 1];
        if (d == u'$') {
            out += u'$';
            ++i;
        } else if (d == u'&') {
            group(0);
            ++i;
        } else if (d == u'`') {
            out.append(subject.substr(0, ov[0]));
            ++i;
        } else if (d == u'\'') {
            out.append(subject.substr(ov[1]));
            ++i;
        } else if (const int d1 = digit(i + 1); d1 >= 0) {
            const int d2 = digit(i + 2);
            const int two = d2 >= 0 ? d1 * 10 + d2 : -1;
            if (two >= 1 && static_cast<uint32_t>(two) <= groups) {
                group(static_cast<uint32_t>(two));
                i += 2;
            } else if (d1 >= 1 && static_cast<uint32_t>(d1) <= groups) {
                group(static_cast<uint32_t>(d1));
                i += 1;
            } else {
                out += c;
            }
        } else {
            out += c;
        }
    }
}

class RegExp final : public Object {
public:
    Value get(std::string_view member, std::span<const Value> args, As as) override {
        if (!args.empty()) {
            return Value();
        }
        if (is_named(member, "IgnoreCase")) {
            return answer(Value::boolean(ignore_case_), as);
        }
        if (is_named(member, "Multiline")) {
            return answer(Value::boolean(multiline_), as);
        }
        if (is_named(member, "Global")) {
            return answer(Value::boolean(global_), as);
        }
        if (is_named(member, "Pattern")) {
            return answer(Value::text(pattern_), as);
        }
        return Value();
    }

    bool put(std::string_view member, const Value& value) override {
        if (is_named(member, "Pattern")) {
            const Value text = coerce(value, As::text);
            if (text.kind() != Value::Kind::text) {
                return false;
            }
            pattern_ = std::u16string(text.as_text());
            program_.reset();
            return true;
        }
        bool flag = false;
        bool* field = is_named(member, "IgnoreCase")  ? &ignore_case_
                      : is_named(member, "Multiline") ? &multiline_
                      : is_named(member, "Global")    ? &global_
                                                      : nullptr;
        if (!field || !to_flag(value, flag)) {
            return false;
        }
        if (field != &global_ && *field != flag) {
            program_.reset();
        }
        *field = flag;
        return true;
    }

    Value call(std::string_view method, std::span<const Value> args, As as) override {
        if (is_named(method, "Execute") && args.size() == 1) {
            return answer(execute(args[0]), as);
        }
        if (is_named(method, "Replace") && args.size() == 2) {
            return answer(replace(args[0], args[1]), as);
        }
        if (is_named(method, "Test") && args.size() == 1) {
            return answer(test(args[0]), as);
        }
        return Value();
    }

private:
    const Program* program() {
        if (!program_) {
            program_ = compile(pattern_, ignore_case_, multiline_);
        }
        return program_.get();
    }

    static std::shared_ptr<const std::u16string> subject_of(const Value& value) {
        const Value text = coerce(value, As::text);
        return text.kind() == Value::Kind::text ? text.text_ref() : nullptr;
    }

    Value execute(const Value& subject_value) {
        const Program* p = program();
        auto subject = subject_of(subject_value);
        if (!p || !subject) {
            return Value();
        }
        auto outcome = std::make_shared<Outcome>();
        outcome->subject = subject;
        outcome->groups = p->groups;
        const size_t width = 2 * (static_cast<size_t>(p->groups) + 1);
        const bool ok = scan(*p, *subject, global_, [&](const PCRE2_SIZE* ov) {
            outcome->offsets.insert(outcome->offsets.end(), ov, ov + width);
        });
        if (!ok) {
            return Value();
        }
        return Value::object(std::make_shared<MatchCollection>(std::move(outcome)));
    }

    Value replace(const Value& subject_value, const Value& replacement_value) {
        const Program* p = program();
        auto subject = subject_of(subject_value);
        const Value replacement = coerce(replacement_value, As::text);
        if (!p || !subject || replacement.kind() != Value::Kind::text) {
            return Value();
        }
        const std::u16string_view s = *subject;
        std::u16string out;
        size_t copied = 0;
        const bool ok = scan(*p, s, global_, [&](const PCRE2_SIZE* ov) {
            out.append(s.substr(copied, ov[0] - copied));
            expand(out, replacement.as_text(), s, ov, p->groups);
            copied = ov[1];
        });
        if (!ok) {
            return Value();
        }
        out.append(s.substr(copied));
        return Value::text(std::move(out));
    }

    Value test(const Value& subject_value) {
        const Program* p = program();
        auto subject = subject_of(subject_value);
        if (!p || !subject) {
            return Value();
        }
        bool found = false;
        if (!scan(*p, *subject, false, [&](const PCRE2_SIZE*) { found = true; })) {
            return Value();
        }
        return Value::boolean(found);
    }

    bool ignore_case_ = false;
    bool multiline_ = false;
    bool global_ = false;
    std::u16string pattern_;
    std::shared_ptr<const Program> program_;
};

// The component library has nothing to do here; the depth is kept so the
// calls stay balanced as on Windows.
class Pcre2Engine final : public Engine {
public:
    void init() override { ++depth_; }
    void uninit() override {
        long d = depth_.load();
        while (d > 0 && !depth_.compare_exchange_weak(d, d - 1)) {
        }
    }
    ObjectRef instantiate(std::string_view class_name) override {
        if (!is_named(class_name, REGEXP_CLASS)) {
            return nullptr;
        }
        return std::make_shared<RegExp>();
    }

private:
    std::atomic<long> depth_{0};
};

}  // namespace

std::shared_ptr<Engine> platform_engine() {
    static const std::shared_ptr<Engine> engine = std::make_shared<Pcre2Engine>();
    return engine;
}

}  // namespace qn::regexp

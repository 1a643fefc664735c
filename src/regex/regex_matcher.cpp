// RegexMatcher, written once against the engine layer.
#include "regex/regex_matcher.h"

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "text/codepage.h"
#include "text/fixed_texts.h"

namespace qn {

namespace {

using regexp::As;
using regexp::ObjectRef;
using regexp::Value;

Value wide(const Text& text) { return Value::text(cp936_to_utf16(text.view())); }

Text narrow(const Value& value) { return Text(utf16_to_cp936(value.as_text())); }

// A number from the engine, truncated toward zero to 32 bits.
int32_t truncated(const Value& value) {
    const double d = std::trunc(value.as_number());
    if (!(d >= std::numeric_limits<int32_t>::min())) {  // also NaN
        return d < 0 ? std::numeric_limits<int32_t>::min() : 0;
    }
    if (d > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(d);
}

Value get(const ObjectRef& object, std::string_view member, As as) {
    return object ? object->get(member, {}, as) : Value();
}

// Item `index` (0-based, handed over as a double) of a collection.
ObjectRef item(const ObjectRef& collection, int32_t one_based) {
    if (!collection) {
        return nullptr;
    }
    const Value index[] = {Value::number(static_cast<double>(one_based) - 1.0)};
    return collection->get("Item", index, As::object).as_object();
}

bool put(const ObjectRef& object, std::string_view member, const Value& value) {
    return object && object->put(member, value);
}

}  // namespace

RegexMatcher::LibraryHold::LibraryHold(std::shared_ptr<regexp::Engine> layer)
    : layer_(layer ? std::move(layer) : regexp::platform_engine()) {
    layer_->init();
}

RegexMatcher::LibraryHold::LibraryHold(const LibraryHold& other) : layer_(other.layer_) {
    layer_->init();
}

RegexMatcher::LibraryHold::~LibraryHold() {
    if (layer_) {
        layer_->uninit();
    }
}

RegexMatcher::RegexMatcher() : RegexMatcher(regexp::platform_engine()) {}

RegexMatcher::RegexMatcher(std::shared_ptr<regexp::Engine> engine) : hold_(std::move(engine)) {}

RegexMatcher::RegexMatcher(const RegexMatcher& other)
    : engine_(other.engine_),
      matches_(other.matches_),
      subject_(other.subject_),
      hold_(other.hold_),
      subject_text_(other.subject_text_) {}

RegexMatcher& RegexMatcher::operator=(const RegexMatcher& other) {
    if (this != &other) {
        RegexMatcher copy(other);
        swap(*this, copy);
    }
    return *this;
}

// The engine goes first, then the collection, then the subject; the
// component library is released only after all three.
RegexMatcher::~RegexMatcher() {
    engine_.reset();
    matches_.reset();
    subject_ = Value();
    subject_text_.reset();
}

void swap(RegexMatcher& a, RegexMatcher& b) noexcept {
    using std::swap;
    swap(a.engine_, b.engine_);
    swap(a.matches_, b.matches_);
    swap(a.subject_, b.subject_);
    swap(a.hold_, b.hold_);
    swap(a.subject_text_, b.subject_text_);
}

bool RegexMatcher::create(const Text& pattern, const Text& subject,
                          std::optional<bool> case_sensitive, bool multiline, bool global,
                          bool expand_quote_marker) {
    const bool ignore_case = case_sensitive ? !*case_sensitive : true;

    engine_.reset();
    matches_.reset();
    engine_ = hold_.layer().instantiate(regexp::REGEXP_CLASS);

    put(engine_, "IgnoreCase", Value::boolean(ignore_case));
    put(engine_, "Multiline", Value::boolean(multiline));
    put(engine_, "Global", Value::boolean(global));
    const Text used = expand_quote_marker
                          ? txt_substitute(pattern, Text(texts::QUOTE_TOKEN), Text("\""),
                                           std::nullopt, std::nullopt, true)
                          : pattern;
    put(engine_, "Pattern", wide(used));

    subject_ = wide(subject);
    subject_text_.reset();

    matches_.reset();
    if (engine_) {
        const Value args[] = {subject_};
        matches_ = engine_->call("Execute", args, As::object).as_object();
    }
    return matches_ != nullptr;
}

Text RegexMatcher::pattern() const {
    return engine_ ? narrow(get(engine_, "Pattern", As::text)) : Text();
}

Text RegexMatcher::replace(const Text& replacement) const {
    if (!engine_) {
        return Text();
    }
    const Value args[] = {subject_, wide(replacement)};
    return narrow(engine_->call("Replace", args, As::text));
}

int32_t RegexMatcher::match_count() const {
    return matches_ ? truncated(get(matches_, "Count", As::number)) : 0;
}

Text RegexMatcher::match_text(int32_t index, int32_t* position) const {
    const ObjectRef match = item(matches_, index);
    Text answer = narrow(get(match, "Value", As::text));
    if (position) {
        *position = find_from_start(answer, match);
    }
    return answer;
}

Text RegexMatcher::submatch_text(int32_t index, int32_t group, int32_t* position) const {
    const ObjectRef match = item(matches_, index);
    Text answer;
    {
        const ObjectRef groups = get(match, "SubMatches", As::object).as_object();
        if (groups) {
            const Value at[] = {Value::number(static_cast<double>(group) - 1.0)};
            answer = narrow(groups->get("Item", at, As::text));
        }
    }
    if (position) {
        *position = find_from_start(answer, match);
    }
    return answer;
}

int32_t RegexMatcher::submatch_count() const {
    if (!matches_) {
        return 0;
    }
    const Value first[] = {Value::integer(0)};
    const ObjectRef match = matches_->get("Item", first, As::object).as_object();
    const ObjectRef groups = get(match, "SubMatches", As::object).as_object();
    return groups ? truncated(get(groups, "Count", As::number)) : 0;
}

// The stored subject read back as text, with the places where the
// character walk of a byte search stops (a byte of 0x80 or above starts a
// two-byte character).
struct RegexMatcher::SubjectText {
    explicit SubjectText(Text t) : text(std::move(t)), walk_point(text.view().size(), false) {
        const std::string_view bytes = text.view();
        for (size_t i = 0; i < bytes.size();
             i += static_cast<unsigned char>(bytes[i]) >= 0x80 ? 2 : 1) {
            walk_point[i] = true;
        }
    }
    Text text;
    std::vector<bool> walk_point;
};

const RegexMatcher::SubjectText& RegexMatcher::subject_text() const {
    if (!subject_text_) {
        subject_text_ =
            std::make_shared<const SubjectText>(narrow(regexp::coerce(subject_, As::text)));
    }
    return *subject_text_;
}

// The 0-based byte offset of `answer` found by a byte search of the subject
// text from the match's FirstIndex taken as a 1-based byte position, with
// the engine's own case rule; -2 when the search finds nothing. FirstIndex
// counts wide characters, so the search starts at or before the match's
// byte offset. When that starting byte is the second byte of a two-byte
// character, the search starts at its first byte instead: a walk begun in
// the middle of a character pairs the bytes wrongly and can step over the
// match itself.
int32_t RegexMatcher::find_from_start(const Text& answer, const ObjectRef& match) const {
    const SubjectText& subject = subject_text();
    int32_t start = truncated(get(match, "FirstIndex", As::number));
    const int64_t offset = static_cast<int64_t>(start) - 1;
    if (offset > 0 && offset < static_cast<int64_t>(subject.walk_point.size()) &&
        !subject.walk_point[static_cast<size_t>(offset)]) {
        --start;
    }
    const bool ignore_case = get(engine_, "IgnoreCase", As::any).as_bool();
    return txt_find(subject.text, answer, start, ignore_case) - 1;
}

}  // namespace qn

// RegexMatcher: one regular expression run over one subject text by the
// platform's regular-expression engine, and the questions asked of the
// outcome (match count, match and group texts with byte positions,
// replacement, the pattern in force).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "regex/engine.h"
#include "text/text.h"

namespace qn {

class RegexMatcher {
public:
    // A matcher on the platform engine.
    RegexMatcher();
    // A matcher on the given engine layer (the platform engine when null).
    explicit RegexMatcher(std::shared_ptr<regexp::Engine> engine);
    RegexMatcher(const RegexMatcher& other);
    RegexMatcher& operator=(const RegexMatcher& other);
    ~RegexMatcher();

    // Instantiates a new engine, sets its options and pattern and executes it
    // over `subject`; true when the engine returned a match collection.
    // `case_sensitive` left out means the match ignores case.
    bool create(const Text& pattern, const Text& subject,
                std::optional<bool> case_sensitive = std::nullopt, bool multiline = true,
                bool global = true, bool expand_quote_marker = false);
    // The pattern the engine holds; empty without an engine.
    Text pattern() const;
    // The stored subject with the engine's replacement applied.
    Text replace(const Text& replacement) const;
    int32_t match_count() const;
    // Match `index` (1-based). With `position`, also its 0-based byte offset
    // as found by a byte search from the engine's start of the match.
    Text match_text(int32_t index, int32_t* position = nullptr) const;
    // Capture group `group` (1-based) of match `index` (1-based).
    Text submatch_text(int32_t index, int32_t group, int32_t* position = nullptr) const;
    // The number of capture groups of the first match.
    int32_t submatch_count() const;

    friend void swap(RegexMatcher& a, RegexMatcher& b) noexcept;

private:
    // One initialisation of the component library, held from construction
    // to destruction.
    class LibraryHold {
    public:
        explicit LibraryHold(std::shared_ptr<regexp::Engine> layer);
        LibraryHold(const LibraryHold& other);
        LibraryHold& operator=(const LibraryHold&) = delete;
        ~LibraryHold();
        regexp::Engine& layer() const noexcept { return *layer_; }
        friend void swap(LibraryHold& a, LibraryHold& b) noexcept { a.layer_.swap(b.layer_); }

    private:
        std::shared_ptr<regexp::Engine> layer_;
    };

    struct SubjectText;
    const SubjectText& subject_text() const;
    int32_t find_from_start(const Text& answer, const regexp::ObjectRef& match) const;

    regexp::ObjectRef engine_;
    regexp::ObjectRef matches_;
    regexp::Value subject_ = regexp::Value::integer(0);
    LibraryHold hold_;
    // The stored subject read back as text, made at the first question that
    // needs it so a position does not re-encode the whole subject each time.
    mutable std::shared_ptr<const SubjectText> subject_text_;
};

}  // namespace qn

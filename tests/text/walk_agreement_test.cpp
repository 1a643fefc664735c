// The walking operations against a plain one-character-at-a-time model, on
// random texts full of two-byte characters, blanks, capitals and repeats:
// the fast paths must find exactly what the walk finds.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reference_walk.h"
#include "text/text.h"

namespace qn {
namespace {

class Random {
public:
    explicit Random(uint32_t seed) : gen_(seed) {}

    size_t below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(gen_); }

    // A text drawn from a small alphabet, so that needles recur, with many
    // bytes of 0x80 and above in runs of every parity.
    std::string text(size_t len) {
        static const unsigned char alphabet[] = {'a',  'b',  'A',  'B',  ' ', ';', 0xA1,
                                                 0xB0, 0x81, 0xFE, 0x80, 'Z', 'z', 0x20};
        std::string s;
        while (s.size() < len) {
            switch (below(10)) {
                case 0:  // a run of high bytes
                    s.append(1 + below(12), static_cast<char>(0xA1 + below(3) * 0x0F));
                    break;
                case 1:  // a run of plain letters
                    s.append(1 + below(20), static_cast<char>('a' + below(3)));
                    break;
                default:
                    s.push_back(static_cast<char>(alphabet[below(sizeof alphabet)]));
            }
        }
        s.resize(len);
        return s;
    }

    // A needle: usually a piece of the text (so that it occurs), sometimes
    // random.
    std::string needle(const std::string& t) {
        const size_t len = below(6) == 0 ? below(40) : below(5);
        if (t.empty() || below(4) == 0) return text(len);
        const size_t at = below(t.size());
        return t.substr(at, len);
    }

    std::optional<int32_t> start(size_t len) {
        if (below(3) == 0) return std::nullopt;
        return static_cast<int32_t>(below(len + 4)) - 2;
    }

private:
    std::mt19937 gen_;
};

size_t random_length(Random& r) {
    switch (r.below(4)) {
        case 0:
            return r.below(12);
        case 1:
            return r.below(80);
        case 2:
            return 60 + r.below(300);
        default:
            return 500 + r.below(3000);
    }
}

TEST(WalkAgreement, FindAndRfindAnswerWhatTheWalkAnswers) {
    Random r(20240611);
    for (int round = 0; round < 4000; ++round) {
        const std::string t = r.text(random_length(r));
        for (int k = 0; k < 8; ++k) {
            const std::string nd = r.needle(t);
            const auto start = r.start(t.size());
            const bool fold = r.below(2) == 0;
            ASSERT_EQ(txt_find(Text(t), Text(nd), start, fold), ref::find(t, nd, start, fold))
                << "find: text of " << t.size() << " bytes, needle '" << nd << "', round " << round;
            ASSERT_EQ(txt_rfind(Text(t), Text(nd), start, fold), ref::rfind(t, nd, start, fold))
                << "rfind: text of " << t.size() << " bytes, needle '" << nd << "', round "
                << round;
        }
    }
}

// Long needles over long, repetitive texts in which the needle's rarest
// bytes are common: the search gives up its pair scan for the shift-table
// search, in both directions, and must still agree with the walk.
TEST(WalkAgreement, LongNeedlesOverRepetitiveTextsAgreeWithTheWalk) {
    Random r(99);
    for (int round = 0; round < 24; ++round) {
        std::string unit = "qz" + std::string(8 + r.below(8), 'e') + "x";
        if (r.below(2)) unit += "\xB0";
        std::string t;
        while (t.size() < 20000 + r.below(20000)) {
            t += unit;
            if (r.below(50) == 0) t += "\xB0";  // shifts the walk now and then
        }
        std::string nd = "qz" + std::string(unit.size() - 2, 'e');
        if (round % 3 == 0) nd[2] = 'E';
        // A real occurrence near the end, on a walk point or on a second byte.
        const size_t at = t.size() - 100 - r.below(50);
        t.insert(at, (round % 4 == 1 ? "\xB0" : "a") + nd);
        for (const bool fold : {false, true}) {
            ASSERT_EQ(txt_find(Text(t), Text(nd), std::nullopt, fold),
                      ref::find(t, nd, std::nullopt, fold))
                << "round " << round;
            ASSERT_EQ(txt_find(Text(t), Text(nd), static_cast<int32_t>(at / 2), fold),
                      ref::find(t, nd, static_cast<int32_t>(at / 2), fold))
                << "round " << round;
            // The text reversed puts the common pairs after the occurrence
            // for the backward search.
            const std::string back = std::string(nd) + "a" + t;
            ASSERT_EQ(txt_rfind(Text(back), Text(nd), std::nullopt, fold),
                      ref::rfind(back, nd, std::nullopt, fold))
                << "round " << round;
            ASSERT_EQ(txt_rfind(Text(t), Text(nd), std::nullopt, fold),
                      ref::rfind(t, nd, std::nullopt, fold))
                << "round " << round;
        }
    }
}

TEST(WalkAgreement, SubstituteAndSplitAgreeWithTheWalk) {
    Random r(77);
    for (int round = 0; round < 3000; ++round) {
        const std::string t = r.text(random_length(r));
        const std::string sub = r.needle(t);
        const std::string repl = r.text(r.below(4));
        const auto start = r.start(t.size());
        const std::optional<int32_t> count =
            r.below(2) ? std::nullopt
                       : std::optional<int32_t>(static_cast<int32_t>(r.below(6)) - 1);
        const bool case_sensitive = r.below(2) == 0;
        ASSERT_EQ(
            txt_substitute(Text(t), Text(sub), Text(repl), start, count, case_sensitive).str(),
            ref::substitute(t, sub, repl, start, count, case_sensitive))
            << "substitute '" << sub << "' in a text of " << t.size() << " bytes, round " << round;

        const TextList pieces = txt_split(Text(t), Text(sub), count);
        const std::vector<std::string> want = ref::split(t, sub, count);
        ASSERT_EQ(static_cast<size_t>(list_count(pieces)), want.size()) << "split '" << sub << "'";
        for (size_t i = 0; i < want.size(); ++i)
            ASSERT_EQ(list_at(pieces, static_cast<int32_t>(i + 1)).str(), want[i]);
    }
}

TEST(WalkAgreement, TrimStripAndLowerAgreeWithTheWalk) {
    Random r(5);
    for (int round = 0; round < 6000; ++round) {
        std::string t = r.text(random_length(r));
        // Pad with blanks now and then, to exercise long blank runs.
        if (r.below(3) == 0) t = std::string(r.below(20), ' ') + t + std::string(r.below(20), ' ');
        if (r.below(4) == 0) t += std::string(2 * r.below(10), '\xA1');
        ASSERT_EQ(txt_trim(Text(t)).str(), ref::trim(t)) << "trim, round " << round;
        ASSERT_EQ(txt_strip_spaces(Text(t)).str(), ref::strip_spaces(t))
            << "strip, round " << round;
        ASSERT_EQ(txt_lower(Text(t)).str(), ref::lower(t)) << "lower, round " << round;
    }
}

}  // namespace
}  // namespace qn

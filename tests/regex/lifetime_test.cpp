// The matcher's hold on the component library and on the engine's objects,
// counted through an engine layer that wraps the build's own engine.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "regex/engine.h"
#include "regex/regex_matcher.h"

namespace qn {
namespace {

using regexp::As;
using regexp::Engine;
using regexp::Object;
using regexp::ObjectRef;
using regexp::Value;

// What the counting layer saw.
struct Log {
    int inits = 0;
    int uninits = 0;
    int live_objects = 0;
    std::vector<std::string> events;
};

// Forwards to an engine object and records when it is let go. Objects it
// answers are wrapped too: "Execute" gives the collection, "Item" a match or
// a group's value, "SubMatches" the group collection.
class CountingObject final : public Object {
public:
    CountingObject(ObjectRef inner, std::string kind, std::shared_ptr<Log> log)
        : inner_(std::move(inner)), kind_(std::move(kind)), log_(std::move(log)) {
        ++log_->live_objects;
    }
    ~CountingObject() override {
        --log_->live_objects;
        log_->events.push_back("release " + kind_);
    }

    Value get(std::string_view member, std::span<const Value> args, As as) override {
        return wrap(inner_->get(member, args, as), member);
    }
    bool put(std::string_view member, const Value& value) override {
        return inner_->put(member, value);
    }
    Value call(std::string_view method, std::span<const Value> args, As as) override {
        return wrap(inner_->call(method, args, as), method);
    }

private:
    Value wrap(const Value& v, std::string_view member) {
        if (v.kind() != Value::Kind::object) {
            return v;
        }
        const std::string kind = member == "Execute"      ? "collection"
                                 : member == "SubMatches" ? "groups"
                                 : member == "Item"       ? "match"
                                                          : std::string(member);
        return Value::object(std::make_shared<CountingObject>(v.as_object(), kind, log_));
    }

    ObjectRef inner_;
    std::string kind_;
    std::shared_ptr<Log> log_;
};

class CountingEngine final : public Engine {
public:
    explicit CountingEngine(bool instantiates = true) : instantiates_(instantiates) {}

    void init() override {
        inner_->init();
        ++log->inits;
        log->events.push_back("init");
    }
    void uninit() override {
        inner_->uninit();
        ++log->uninits;
        log->events.push_back("uninit");
    }
    ObjectRef instantiate(std::string_view class_name) override {
        log->events.push_back("instantiate");
        ObjectRef engine = instantiates_ ? inner_->instantiate(class_name) : nullptr;
        return engine ? std::make_shared<CountingObject>(engine, "engine", log) : nullptr;
    }

    std::shared_ptr<Log> log = std::make_shared<Log>();

private:
    std::shared_ptr<Engine> inner_ = regexp::platform_engine();
    bool instantiates_;
};

std::vector<std::string> last(const std::vector<std::string>& events, size_t n) {
    return {events.end() - static_cast<std::ptrdiff_t>(std::min(n, events.size())), events.end()};
}

using Events = std::vector<std::string>;

TEST(RegexMatcherLifetime, OneInitFromConstructionToDestructionReleasedInOrder) {
    auto layer = std::make_shared<CountingEngine>();
    const auto log = layer->log;
    {
        RegexMatcher m(layer);
        EXPECT_EQ(log->events, Events{"init"});

        ASSERT_TRUE(m.create("(b)(x)?", "abab"));
        EXPECT_EQ(log->live_objects, 2);  // the engine and the collection
        // A second create lets go of the first engine and collection first.
        ASSERT_TRUE(m.create("(b)(x)?", "abab"));
        EXPECT_EQ(log->live_objects, 2);
        const Events second = {"release engine", "release collection", "instantiate"};
        const Events& e = log->events;
        EXPECT_NE(std::search(e.begin(), e.end(), second.begin(), second.end()), e.end());

        // Every question lets go of the match and groups it read.
        int32_t position = 0;
        EXPECT_EQ(m.match_text(2, &position), Text("b"));
        EXPECT_EQ(m.submatch_text(2, 1, &position), Text("b"));
        EXPECT_EQ(m.submatch_count(), 2);
        EXPECT_EQ(m.match_count(), 2);
        EXPECT_EQ(m.replace("-"), Text("a-a-"));
        EXPECT_EQ(m.pattern(), Text("(b)(x)?"));
        EXPECT_EQ(log->live_objects, 2);
        EXPECT_EQ(log->inits, 1);
        EXPECT_EQ(log->uninits, 0);
    }
    EXPECT_EQ(log->inits, 1);
    EXPECT_EQ(log->uninits, 1);
    EXPECT_EQ(log->live_objects, 0);
    EXPECT_EQ(last(log->events, 3), (Events{"release engine", "release collection", "uninit"}));
}

TEST(RegexMatcherLifetime, CopyHoldsItsOwnInitAndSharesTheObjects) {
    auto layer = std::make_shared<CountingEngine>();
    const auto log = layer->log;
    RegexMatcher m(layer);
    ASSERT_TRUE(m.create("a", "aa"));
    {
        const RegexMatcher copy(m);
        EXPECT_EQ(log->inits, 2);
        EXPECT_EQ(log->live_objects, 2);
        EXPECT_EQ(copy.match_count(), 2);
    }
    // The copy's end releases its init and nothing the original still holds.
    EXPECT_EQ(log->uninits, 1);
    EXPECT_EQ(log->live_objects, 2);
    EXPECT_EQ(log->events.back(), "uninit");
    EXPECT_EQ(m.match_text(2), Text("a"));

    {
        RegexMatcher other(layer);
        ASSERT_TRUE(other.create("x", "x"));
        other = m;  // drops its own engine and collection, keeps one init
        EXPECT_EQ(log->inits - log->uninits, 2);
        EXPECT_EQ(log->live_objects, 2);
        EXPECT_EQ(other.match_count(), 2);
    }
    EXPECT_EQ(log->inits - log->uninits, 1);
    EXPECT_EQ(log->live_objects, 2);
}

TEST(RegexMatcherLifetime, FailedCreatesStayBalanced) {
    {
        auto layer = std::make_shared<CountingEngine>(false);
        const auto log = layer->log;
        {
            RegexMatcher m(layer);
            EXPECT_FALSE(m.create("a", "a"));
            EXPECT_EQ(m.match_count(), 0);
            EXPECT_EQ(m.submatch_count(), 0);
            EXPECT_EQ(m.pattern(), Text());
            EXPECT_EQ(m.replace("b"), Text());
            int32_t position = 12345;
            EXPECT_EQ(m.match_text(1, &position), Text());
            EXPECT_EQ(position, 0);
        }
        EXPECT_EQ(log->events, (Events{"init", "instantiate", "uninit"}));
    }
    {
        auto layer = std::make_shared<CountingEngine>();
        const auto log = layer->log;
        {
            RegexMatcher m(layer);
            EXPECT_FALSE(m.create("(", "a"));
            EXPECT_EQ(log->live_objects, 1);  // the engine, no collection
        }
        EXPECT_EQ(log->inits, 1);
        EXPECT_EQ(log->uninits, 1);
        EXPECT_EQ(log->live_objects, 0);
        EXPECT_EQ(last(log->events, 2), (Events{"release engine", "uninit"}));
    }
}

}  // namespace
}  // namespace qn

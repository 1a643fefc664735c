// The regular-expression engine layer: the shape of an automation
// regular-expression class ("VBScript.RegExp"), reached by member name.
//
// An engine instance, a match collection, a single match and a group
// collection are all `Object`s: shared, reference-counted, and asked for
// their members by name. Arguments and answers are `Value`s, a small
// variant-like type. A failed access answers the empty value; nothing here
// throws.
//
// Members the matcher relies on:
//   engine instance   IgnoreCase, Multiline, Global (flags), Pattern (text):
//                     get and put; Execute(subject) -> match collection;
//                     Replace(subject, replacement) -> text
//   match collection  Count (number); Item(0-based index) -> match
//   match             Value (text); FirstIndex (number, 0-based, in UTF-16
//                     units); SubMatches -> group collection
//   group collection  Count (number); Item(0-based index) -> group text, or
//                     the empty value for a group that took no part
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace qn::regexp {

class Object;
using ObjectRef = std::shared_ptr<Object>;

// Empty, a flag, a 32-bit integer, a double, a wide (UTF-16) text or an
// object. Texts are immutable and shared between copies, so handing a large
// subject around costs no copy of its characters.
class Value {
public:
    enum class Kind { empty, boolean, integer, number, text, object };

    Value() = default;
    static Value boolean(bool b);
    static Value integer(int32_t i);
    static Value number(double d);
    static Value text(std::u16string s);
    static Value text(std::shared_ptr<const std::u16string> s);
    static Value object(ObjectRef o);

    Kind kind() const noexcept { return kind_; }
    bool is_empty() const noexcept { return kind_ == Kind::empty; }

    // The held value when the kind matches; otherwise false, 0, 0.0, the
    // empty text or no object. No conversion happens here (see `coerce`).
    bool as_bool() const noexcept { return kind_ == Kind::boolean && bool_; }
    int32_t as_integer() const noexcept { return kind_ == Kind::integer ? int_ : 0; }
    double as_number() const noexcept { return kind_ == Kind::number ? num_ : 0.0; }
    std::u16string_view as_text() const noexcept;
    const std::shared_ptr<const std::u16string>& text_ref() const noexcept { return text_; }
    const ObjectRef& as_object() const noexcept { return object_; }

private:
    Kind kind_ = Kind::empty;
    bool bool_ = false;
    int32_t int_ = 0;
    double num_ = 0.0;
    std::shared_ptr<const std::u16string> text_;
    ObjectRef object_;
};

// What an access asks its answer to be coerced to. `any` keeps the answer
// as the engine gave it.
enum class As { any, text, number, object };

// The coercion an automation engine applies to a result: a flag becomes
// "True"/"False" as text (-1/0 as a number), an integer its decimal text,
// a number its decimal text (up to 15 significant digits), an empty value the empty text
// or 0, a decimal text its number. An object converts to neither text nor
// number, and only an object converts to an object. A coercion that cannot
// be made answers the empty value.
Value coerce(const Value& value, As as);

// One automation object, reached by member name (names compare without
// regard to ASCII case, as automation names do).
class Object {
public:
    virtual ~Object() = default;
    // A property read, with optional index arguments.
    virtual Value get(std::string_view member, std::span<const Value> args = {},
                      As as = As::any) = 0;
    // A property write; true when the engine accepted it.
    virtual bool put(std::string_view member, const Value& value) = 0;
    // A method call.
    virtual Value call(std::string_view method, std::span<const Value> args, As as = As::any) = 0;
};

// The platform's component library and the engine classes it offers.
class Engine {
public:
    virtual ~Engine() = default;
    // One initialisation of the component library on the calling thread
    // (its outcome is not examined), and its release.
    virtual void init() = 0;
    virtual void uninit() = 0;
    // A new instance of the named class, or nothing when it cannot be made.
    virtual ObjectRef instantiate(std::string_view class_name) = 0;
};

// The class name the matcher instantiates.
inline constexpr std::string_view REGEXP_CLASS = "VBScript.RegExp";

// The build's engine: "VBScript.RegExp" through COM on Windows, PCRE2
// elsewhere. One process-wide instance.
std::shared_ptr<Engine> platform_engine();

}  // namespace qn::regexp

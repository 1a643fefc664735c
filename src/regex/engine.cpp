// The engine layer's value type and the coercion automation engines apply.
#include "regex/engine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace qn::regexp {

namespace {

const std::u16string& empty_text() {
    static const std::u16string empty;
    return empty;
}

std::u16string ascii_to_wide(std::string_view s) { return std::u16string(s.begin(), s.end()); }

// Digits as an automation engine writes a double: integral values in plain
// digits, others with up to 15 significant digits.
std::u16string number_text(double d) {
    char buf[40];
    if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15) {
        std::snprintf(buf, sizeof buf, "%.0f", d);
    } else {
        std::snprintf(buf, sizeof buf, "%.15G", d);
    }
    return ascii_to_wide(buf);
}

// A decimal number written in ASCII, with blanks around it; anything else
// does not convert.
bool parse_number(std::u16string_view text, double& out) {
    std::string ascii;
    for (char16_t c : text) {
        if (c > 0x7f) {
            return false;
        }
        ascii.push_back(static_cast<char>(c));
    }
    const auto first = ascii.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return false;
    }
    const auto last = ascii.find_last_not_of(" \t");
    ascii = ascii.substr(first, last - first + 1);
    char* end = nullptr;
    const double d = std::strtod(ascii.c_str(), &end);
    if (end != ascii.c_str() + ascii.size() || ascii.find_first_of("xXnN") != std::string::npos) {
        return false;  // trailing junk, hexadecimal, "nan", "inf"
    }
    out = d;
    return true;
}

}  // namespace

Value Value::boolean(bool b) {
    Value v;
    v.kind_ = Kind::boolean;
    v.bool_ = b;
    return v;
}

Value Value::integer(int32_t i) {
    Value v;
    v.kind_ = Kind::integer;
    v.int_ = i;
    return v;
}

Value Value::number(double d) {
    Value v;
    v.kind_ = Kind::number;
    v.num_ = d;
    return v;
}

Value Value::text(std::u16string s) {
    return text(std::make_shared<const std::u16string>(std::move(s)));
}

Value Value::text(std::shared_ptr<const std::u16string> s) {
    Value v;
    v.kind_ = Kind::text;
    v.text_ = s ? std::move(s) : std::make_shared<const std::u16string>();
    return v;
}

Value Value::object(ObjectRef o) {
    Value v;
    if (o) {
        v.kind_ = Kind::object;
        v.object_ = std::move(o);
    }
    return v;
}

std::u16string_view Value::as_text() const noexcept {
    return kind_ == Kind::text ? std::u16string_view(*text_) : std::u16string_view(empty_text());
}

Value coerce(const Value& value, As as) {
    using Kind = Value::Kind;
    switch (as) {
        case As::any:
            return value;
        case As::object:
            return value.kind() == Kind::object ? value : Value();
        case As::text:
            switch (value.kind()) {
                case Kind::empty:
                    return Value::text(std::u16string());
                case Kind::boolean:
                    return Value::text(value.as_bool() ? u"True" : u"False");
                case Kind::integer:
                    return Value::text(ascii_to_wide(std::to_string(value.as_integer())));
                case Kind::number:
                    return Value::text(number_text(value.as_number()));
                case Kind::text:
                    return value;
                case Kind::object:
                    return Value();
            }
            return Value();
        case As::number:
            switch (value.kind()) {
                case Kind::empty:
                    return Value::number(0.0);
                case Kind::boolean:
                    return Value::number(value.as_bool() ? -1.0 : 0.0);
                case Kind::integer:
                    return Value::number(value.as_integer());
                case Kind::number:
                    return value;
                case Kind::text: {
                    double d = 0.0;
                    return parse_number(value.as_text(), d) ? Value::number(d) : Value();
                }
                case Kind::object:
                    return Value();
            }
            return Value();
    }
    return Value();
}

}  // namespace qn::regexp

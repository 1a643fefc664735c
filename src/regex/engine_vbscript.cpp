// The engine layer on Windows: the automation class "VBScript.RegExp"
// through COM, every member reached by name through IDispatch.

// windows.h goes first: the OLE headers build on it.
#include <windows.h>

#include <oleauto.h>

#include <string>
#include <utility>
#include <vector>

#include "regex/engine.h"
#include "text/fatal.h"

namespace qn::regexp {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide characters are UTF-16 units");

// --- owning wrappers ----------------------------------------------------

// One counted reference to a COM interface.
template <class T>
class ComRef {
public:
    ComRef() = default;
    // Takes over a reference the caller already owns.
    static ComRef adopt(T* p) noexcept {
        ComRef r;
        r.p_ = p;
        return r;
    }
    // Adds a reference of its own to `p`.
    static ComRef retain(T* p) noexcept {
        if (p) {
            p->AddRef();
        }
        return adopt(p);
    }
    ComRef(const ComRef& other) noexcept : p_(other.p_) {
        if (p_) {
            p_->AddRef();
        }
    }
    ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComRef& operator=(ComRef other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComRef() { reset(); }

    void reset() noexcept {
        if (T* p = std::exchange(p_, nullptr)) {
            p->Release();
        }
    }
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // The slot for an out-parameter; drops what was held first.
    T** out() noexcept {
        reset();
        return &p_;
    }

private:
    T* p_ = nullptr;
};

// A BSTR owned until destruction.
class Bstr {
public:
    explicit Bstr(std::u16string_view text)
        : b_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                               static_cast<UINT>(text.size()))) {
        if (!b_) {
            fatal_out_of_memory((static_cast<uint64_t>(text.size()) + 1) * sizeof(OLECHAR));
        }
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b_); }
    BSTR get() const noexcept { return b_; }
    // Hands the string over to a new owner (a VARIANT).
    BSTR release() noexcept { return std::exchange(b_, nullptr); }

private:
    BSTR b_;
};

// A VARIANT cleared on destruction.
class Variant {
public:
    Variant() noexcept { VariantInit(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept {
        VariantInit(&v_);
        std::swap(v_, other.v_);
    }
    ~Variant() { VariantClear(&v_); }
    VARIANT* get() noexcept { return &v_; }
    const VARIANT& operator*() const noexcept { return v_; }
    void clear() noexcept { VariantClear(&v_); }

private:
    VARIANT v_;
};

// The strings an engine error leaves in an EXCEPINFO.
class ExcepInfo {
public:
    ExcepInfo() noexcept : e_{} {}
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() {
        SysFreeString(e_.bstrSource);
        SysFreeString(e_.bstrDescription);
        SysFreeString(e_.bstrHelpFile);
    }
    EXCEPINFO* get() noexcept { return &e_; }

private:
    EXCEPINFO e_;
};

// --- ole32 bound by name --------------------------------------------------

using CoInitializeFn = HRESULT(WINAPI*)(LPVOID);
using CoUninitializeFn = void(WINAPI*)();

HMODULE ole32() {
    static const HMODULE lib = LoadLibraryA("ole32.dll");
    return lib;
}

template <class Fn>
Fn bind_ole32(const char* name) {
    const HMODULE lib = ole32();
    const FARPROC proc = lib ? GetProcAddress(lib, name) : nullptr;
    if (!proc) {
        fatal_error(std::string("Cannot find ") + name + " in ole32.dll.");
    }
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

CoInitializeFn co_initialize() {
    static const CoInitializeFn fn = bind_ole32<CoInitializeFn>("CoInitialize");
    return fn;
}

CoUninitializeFn co_uninitialize() {
    static const CoUninitializeFn fn = bind_ole32<CoUninitializeFn>("CoUninitialize");
    return fn;
}

// --- values <-> variants --------------------------------------------------

std::wstring wide_name(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

class DispatchObject;
Value from_variant(const VARIANT& v);

// Fills `v` (cleared) with `value`.
void to_variant(const Value& value, VARIANT& v);

class DispatchObject final : public Object {
public:
    explicit DispatchObject(ComRef<IDispatch> disp) : disp_(std::move(disp)) {}
    IDispatch* dispatch() const noexcept { return disp_.get(); }

    Value get(std::string_view member, std::span<const Value> args, As as) override {
        return invoke(member, DISPATCH_PROPERTYGET, args, as, false);
    }
    bool put(std::string_view member, const Value& value) override {
        const Value args[] = {value};
        return !invoke(member, DISPATCH_PROPERTYPUT, args, As::any, true).is_empty();
    }
    Value call(std::string_view method, std::span<const Value> args, As as) override {
        return invoke(method, DISPATCH_METHOD, args, as, false);
    }

private:
    // One late-bound access. A put answers a flag value (true) when it went
    // through; every failure answers the empty value, with whatever the
    // engine left in its result cleared.
    Value invoke(std::string_view member, WORD flags, std::span<const Value> args, As as,
                 bool is_put) {
        std::wstring name = wide_name(member);
        LPOLESTR names[] = {name.data()};
        DISPID id = DISPID_UNKNOWN;
        if (FAILED(disp_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
            return Value();
        }
        // Arguments travel in reverse order.
        std::vector<Variant> argv(args.size());
        for (size_t i = 0; i < args.size(); ++i) {
            to_variant(args[i], *argv[args.size() - 1 - i].get());
        }
        std::vector<VARIANTARG> raw(args.size());
        for (size_t i = 0; i < args.size(); ++i) {
            raw[i] = *argv[i];  // a shallow view; `argv` keeps ownership
        }
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{};
        params.rgvarg = raw.empty() ? nullptr : raw.data();
        params.cArgs = static_cast<UINT>(raw.size());
        if (is_put) {
            params.rgdispidNamedArgs = &named;
            params.cNamedArgs = 1;
        }
        Variant result;
        ExcepInfo error;
        UINT bad_arg = 0;
        const HRESULT hr = disp_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                         is_put ? nullptr : result.get(), error.get(), &bad_arg);
        if (FAILED(hr)) {
            result.clear();
            return Value();
        }
        if (is_put) {
            return Value::boolean(true);
        }
        if (as == As::any) {
            return from_variant(*result);
        }
        const VARTYPE want = as == As::text ? VT_BSTR : as == As::number ? VT_R8 : VT_DISPATCH;
        Variant coerced;
        if (FAILED(VariantChangeType(coerced.get(), result.get(), 0, want))) {
            return Value();
        }
        return from_variant(*coerced);
    }

    ComRef<IDispatch> disp_;
};

void to_variant(const Value& value, VARIANT& v) {
    VariantClear(&v);
    switch (value.kind()) {
        case Value::Kind::empty:
            break;
        case Value::Kind::boolean:
            v.vt = VT_BOOL;
            v.boolVal = value.as_bool() ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case Value::Kind::integer:
            v.vt = VT_I4;
            v.lVal = value.as_integer();
            break;
        case Value::Kind::number:
            v.vt = VT_R8;
            v.dblVal = value.as_number();
            break;
        case Value::Kind::text: {
            Bstr b(value.as_text());
            v.vt = VT_BSTR;
            v.bstrVal = b.release();
            break;
        }
        case Value::Kind::object: {
            const auto* d = dynamic_cast<const DispatchObject*>(value.as_object().get());
            if (d && d->dispatch()) {
                d->dispatch()->AddRef();
                v.vt = VT_DISPATCH;
                v.pdispVal = d->dispatch();
            }
            break;
        }
    }
}

Value object_value(IDispatch* disp) {
    if (!disp) {
        return Value();
    }
    return Value::object(std::make_shared<DispatchObject>(ComRef<IDispatch>::retain(disp)));
}

Value from_variant(const VARIANT& v) {
    switch (v.vt) {
        case VT_EMPTY:
        case VT_NULL:
            return Value();
        case VT_BOOL:
            return Value::boolean(v.boolVal != VARIANT_FALSE);
        case VT_BSTR:
            return Value::text(std::u16string(reinterpret_cast<const char16_t*>(v.bstrVal),
                                              SysStringLen(v.bstrVal)));
        case VT_DISPATCH:
            return object_value(v.pdispVal);
        case VT_UNKNOWN: {
            if (!v.punkVal) {
                return Value();
            }
            ComRef<IDispatch> disp;
            if (FAILED(v.punkVal->QueryInterface(IID_IDispatch,
                                                 reinterpret_cast<void**>(disp.out())))) {
                return Value();
            }
            return object_value(disp.get());
        }
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_UI1:
        case VT_UI2:
        case VT_INT: {
            Variant n;
            if (FAILED(VariantChangeType(n.get(), const_cast<VARIANT*>(&v), 0, VT_I4))) {
                return Value();
            }
            return Value::integer((*n).lVal);
        }
        default: {
            Variant d;
            if (SUCCEEDED(VariantChangeType(d.get(), const_cast<VARIANT*>(&v), 0, VT_R8))) {
                return Value::number((*d).dblVal);
            }
            Variant s;
            if (SUCCEEDED(VariantChangeType(s.get(), const_cast<VARIANT*>(&v), 0, VT_BSTR))) {
                return from_variant(*s);
            }
            return Value();
        }
    }
}

// --- the engine -----------------------------------------------------------

class VbscriptEngine final : public Engine {
public:
    void init() override { co_initialize()(nullptr); }
    void uninit() override { co_uninitialize()(); }

    ObjectRef instantiate(std::string_view class_name) override {
        const std::wstring name = wide_name(class_name);
        CLSID clsid{};
        if (FAILED(CLSIDFromProgID(name.c_str(), &clsid))) {
            return nullptr;
        }
        ComRef<IDispatch> disp;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch,
                                    reinterpret_cast<void**>(disp.out()))) ||
            !disp) {
            return nullptr;
        }
        return std::make_shared<DispatchObject>(std::move(disp));
    }
};

}  // namespace

std::shared_ptr<Engine> platform_engine() {
    static const std::shared_ptr<Engine> engine = std::make_shared<VbscriptEngine>();
    return engine;
}

}  // namespace qn::regexp

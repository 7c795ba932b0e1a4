#pragma once
// Small value types of the component library: sets of enumeration members and events.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>

class TObject;

// A set of up to 32 members of an enumeration whose values are 0..31.
template <class E> class Set {
    static_assert(std::is_enum_v<E>, "Set<E> needs an enumeration");

public:
    constexpr Set() = default;
    constexpr Set(std::initializer_list<E> members)
    {
        for (E e : members)
            bits_ |= Bit(e);
    }
    static constexpr Set FromBits(uint32_t bits)
    {
        Set s;
        s.bits_ = bits;
        return s;
    }
    constexpr uint32_t Bits() const { return bits_; }
    constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr Set& Include(E e)
    {
        bits_ |= Bit(e);
        return *this;
    }
    constexpr Set& Exclude(E e)
    {
        bits_ &= ~Bit(e);
        return *this;
    }
    constexpr Set operator+(Set o) const { return FromBits(bits_ | o.bits_); }
    constexpr Set operator-(Set o) const { return FromBits(bits_ & ~o.bits_); }
    constexpr Set operator*(Set o) const { return FromBits(bits_ & o.bits_); }
    constexpr Set operator+(E e) const { return FromBits(bits_ | Bit(e)); }
    constexpr Set operator-(E e) const { return FromBits(bits_ & ~Bit(e)); }
    constexpr Set& operator+=(Set o) { return *this = *this + o; }
    constexpr Set& operator-=(Set o) { return *this = *this - o; }
    constexpr Set& operator+=(E e) { return Include(e); }
    constexpr Set& operator-=(E e) { return Exclude(e); }
    constexpr bool operator==(const Set&) const = default;
    // a <= b: every member of a is also in b.
    constexpr bool operator<=(Set o) const { return (bits_ & ~o.bits_) == 0; }

private:
    static constexpr uint32_t Bit(E e)
    {
        auto v = static_cast<uint32_t>(e);
        return v < 32 ? (uint32_t{1} << v) : 0;
    }
    uint32_t bits_ = 0;
};

// A reference to a method of an object, made by QM_METHOD(); converts to a matching Event.
template <class C, class M> struct MethodRef {
    C* Object;
    M Method;
    const char* Name;
};

namespace qm_detail {
inline const char* BareName(const char* qualified)
{
    const char* name = qualified;
    for (const char* p = qualified; *p; ++p)
        if (p[0] == ':' && p[1] == ':')
            name = p + 2;
    return name;
}
template <class C> TObject* AsTObject(C* obj)
{
    if constexpr (std::is_base_of_v<TObject, C>)
        return obj;
    else
        return nullptr;
}
} // namespace qm_detail

// QM_METHOD(this, TForm1, MemGridClick): the handler MemGridClick of this object. (Not
// called METHOD: the toolkit's headers define a macro of that name.)
#define QM_METHOD(obj, Cls, Name) \
    (::MethodRef<Cls, decltype(&Cls::Name)>{static_cast<Cls*>(obj), &Cls::Name, #Name})

// An event property: a callable with the object it belongs to and the method's name, so
// that events compare, can be streamed by name, and be read, kept and chained. Calling an
// unassigned event does nothing and returns a default value.
template <class Sig> class Event;
template <class R, class... A> class Event<R(A...)> {
public:
    using Signature = R(A...);
    using Function = std::function<R(A...)>;

    Event() = default;
    Event(std::nullptr_t) {}
    template <class C, class B> Event(MethodRef<C, R (B::*)(A...)> ref)
        : fn_(std::make_shared<Function>([obj = ref.Object, m = ref.Method](A... args) -> R {
              return (obj->*m)(std::forward<A>(args)...);
          })),
          target_(qm_detail::AsTObject(ref.Object)), identity_(ref.Object),
          name_(qm_detail::BareName(ref.Name))
    {
    }
    // A handler that is not a method (tests, glue code); equal only to its own copies.
    explicit Event(Function fn, TObject* target = nullptr, std::string name = {})
        : fn_(fn ? std::make_shared<Function>(std::move(fn)) : nullptr), target_(target),
          identity_(target), name_(std::move(name))
    {
    }

    bool Assigned() const { return fn_ != nullptr; }
    explicit operator bool() const { return Assigned(); }
    R operator()(A... args) const
    {
        if (!fn_)
            return R();
        // Keep the callable alive even if the handler reassigns this event.
        auto keep = fn_;
        return (*keep)(std::forward<A>(args)...);
    }
    TObject* Target() const { return target_; }
    const std::string& MethodName() const { return name_; }
    void Clear() { *this = Event(); }

    bool operator==(const Event& o) const
    {
        if (!fn_ || !o.fn_)
            return !fn_ && !o.fn_;
        if (!name_.empty() || !o.name_.empty())
            return identity_ == o.identity_ && name_ == o.name_;
        return fn_ == o.fn_;
    }
    bool operator==(std::nullptr_t) const { return !fn_; }

private:
    std::shared_ptr<Function> fn_;
    TObject* target_ = nullptr;
    const void* identity_ = nullptr;
    std::string name_;
};

using TNotifyEvent = Event<void(TObject* Sender)>;

#pragma once

#include <initializer_list>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "automation/Variant.h"

namespace automation {

// Every refused automation call fails with this: an unknown member, wrong arguments, or the
// server's own refusal (a file that cannot be opened, a cell outside the sheet ...).
class AutomationError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What a late-bound call asks for. A get without arguments asks for method-or-property-get.
enum class InvokeKind : unsigned {
    Method = 1,
    PropertyGet = 2,
    MethodOrPropertyGet = 3,
    PropertyPut = 4,
};

inline bool AllowsGet(InvokeKind kind) {
    return (static_cast<unsigned>(kind) & static_cast<unsigned>(InvokeKind::PropertyGet)) != 0;
}
inline bool AllowsMethod(InvokeKind kind) {
    return (static_cast<unsigned>(kind) & static_cast<unsigned>(InvokeKind::Method)) != 0;
}
const char* InvokeKindName(InvokeKind kind);

// One argument of a call: a value of its own, or a reference to the caller's variable.
class Arg {
  public:
    static Arg ByVal(Variant value) { return Arg(std::move(value)); }
    static Arg ByRef(Variant& variable) { return Arg(&variable); }

    bool byRef() const { return ref_ != nullptr; }
    const Variant& value() const { return ref_ ? *ref_ : own_; }
    // The caller's variable, for a server that writes back through a by-reference argument.
    Variant* reference() const { return ref_; }

  private:
    explicit Arg(Variant value) : own_(std::move(value)) {}
    explicit Arg(Variant* ref) : ref_(ref) {}
    Variant own_;
    Variant* ref_ = nullptr;
};

// A late-bound automation object: every call names its member, looked up at every call.
// For a put the new value is the last argument.
class DispatchObject : public std::enable_shared_from_this<DispatchObject> {
  public:
    virtual ~DispatchObject() = default;
    virtual Variant Invoke(std::string_view member, InvokeKind kind, std::span<const Arg> args) = 0;
};

// Member names match without regard to letter case (ASCII letters only), with no allocation.
bool MemberNameEquals(std::string_view a, std::string_view b) noexcept;

// The exception for a member an object does not have.
[[noreturn]] void ThrowUnknownMember(std::string_view objectKind, std::string_view member);

// Reads an argument as a 32-bit integer the way a server coerces it: any integer kind in range,
// a float with no fraction, a bool (-1 or 0), or a text of decimal digits. Fails otherwise.
std::int32_t ArgToInt32(const Arg& arg, std::string_view what);

// Call helpers, spelled as the caller thinks of them.
Variant Get(DispatchObject& object, std::string_view member, std::span<const Arg> args = {});
Variant Get(DispatchObject& object, std::string_view member, std::initializer_list<Arg> args);
void Put(DispatchObject& object, std::string_view member, Arg value);
void Put(DispatchObject& object, std::string_view member, std::initializer_list<Arg> indexes,
         Arg value);
void Call(DispatchObject& object, std::string_view member, std::span<const Arg> args = {});
void Call(DispatchObject& object, std::string_view member, std::initializer_list<Arg> args);

// The object a call returned; fails when the call returned no object.
std::shared_ptr<DispatchObject> AsObject(const Variant& value, std::string_view what);

}  // namespace automation

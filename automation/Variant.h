#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace automation {

class DispatchObject;

// The kinds of value an automation call can carry, as the platform's variant does.
enum class VarType : std::uint8_t {
    Empty,
    Null,
    I1,
    I2,
    I4,
    I8,
    UI1,
    UI2,
    UI4,
    UI8,
    R4,
    R8,
    Currency,  // a fixed-point amount scaled by 10,000
    Date,      // days since 1899-12-30, the fraction the time of day
    Bool,
    Error,   // an error code, as a cell showing #DIV/0! returns it
    String,  // wide text (UTF-16)
    Object,  // a reference to another automation object
};

const char* VarTypeName(VarType type);

// A value of one of the kinds above. Cheap to move; copying a string copies it.
class Variant {
  public:
    Variant() = default;
    Variant(bool value) : type_(VarType::Bool) { bits_.b = value; }
    Variant(std::int32_t value) : type_(VarType::I4) { bits_.i = value; }
    Variant(double value) : type_(VarType::R8) { bits_.d = value; }
    Variant(std::u16string value) : type_(VarType::String), text_(std::move(value)) {}
    Variant(const char16_t* value) : type_(VarType::String), text_(value) {}
    Variant(std::shared_ptr<DispatchObject> object);

    static Variant Null();
    // A signed integer of the given width kind (I1, I2, I4 or I8).
    static Variant SignedInteger(VarType kind, std::int64_t value);
    // An unsigned integer of the given width kind (UI1, UI2, UI4 or UI8).
    static Variant UnsignedInteger(VarType kind, std::uint64_t value);
    static Variant Single(float value);
    static Variant CurrencyScaled(std::int64_t scaledBy10000);
    static Variant Date(double serial);
    static Variant ErrorCode(std::int32_t code);
    // Builds a wide text from UTF-8.
    static Variant FromUtf8(std::string_view utf8);

    VarType type() const { return type_; }
    bool isEmpty() const { return type_ == VarType::Empty; }

    bool boolValue() const { return bits_.b; }
    std::int64_t signedValue() const { return bits_.i; }
    std::uint64_t unsignedValue() const { return bits_.u; }
    float singleValue() const { return bits_.f; }
    double doubleValue() const { return bits_.d; }  // R8 and Date
    std::int64_t currencyScaled() const { return bits_.i; }
    std::int32_t errorCode() const { return static_cast<std::int32_t>(bits_.i); }
    const std::u16string& text() const { return text_; }
    const std::shared_ptr<DispatchObject>& object() const { return object_; }

    // Structural equality: same kind and same value.
    friend bool operator==(const Variant& a, const Variant& b);

  private:
    VarType type_ = VarType::Empty;
    union Bits {
        std::int64_t i;
        std::uint64_t u;
        double d;
        float f;
        bool b;
    } bits_{0};
    std::u16string text_;
    std::shared_ptr<DispatchObject> object_;
};

// Reads a variant for test output and error reasons, e.g. "R8 3.5" or "String \"abc\"".
std::string DescribeVariant(const Variant& value);

}  // namespace automation

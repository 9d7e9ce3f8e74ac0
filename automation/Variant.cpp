#include "automation/Variant.h"

#include <cstdio>

#include "automation/Dispatch.h"
#include "util/Utf.h"

namespace automation {

const char* VarTypeName(VarType type) {
    switch (type) {
        case VarType::Empty:
            return "Empty";
        case VarType::Null:
            return "Null";
        case VarType::I1:
            return "I1";
        case VarType::I2:
            return "I2";
        case VarType::I4:
            return "I4";
        case VarType::I8:
            return "I8";
        case VarType::UI1:
            return "UI1";
        case VarType::UI2:
            return "UI2";
        case VarType::UI4:
            return "UI4";
        case VarType::UI8:
            return "UI8";
        case VarType::R4:
            return "R4";
        case VarType::R8:
            return "R8";
        case VarType::Currency:
            return "Currency";
        case VarType::Date:
            return "Date";
        case VarType::Bool:
            return "Bool";
        case VarType::Error:
            return "Error";
        case VarType::String:
            return "String";
        case VarType::Object:
            return "Object";
    }
    return "?";
}

Variant::Variant(std::shared_ptr<DispatchObject> object)
    : type_(VarType::Object), object_(std::move(object)) {}

Variant Variant::Null() {
    Variant v;
    v.type_ = VarType::Null;
    return v;
}

Variant Variant::SignedInteger(VarType kind, std::int64_t value) {
    Variant v;
    v.type_ = kind;
    switch (kind) {
        case VarType::I1:
            v.bits_.i = static_cast<std::int8_t>(value);
            break;
        case VarType::I2:
            v.bits_.i = static_cast<std::int16_t>(value);
            break;
        case VarType::I4:
            v.bits_.i = static_cast<std::int32_t>(value);
            break;
        case VarType::I8:
            v.bits_.i = value;
            break;
        default:
            throw AutomationError("SignedInteger needs I1, I2, I4 or I8");
    }
    return v;
}

Variant Variant::UnsignedInteger(VarType kind, std::uint64_t value) {
    Variant v;
    v.type_ = kind;
    switch (kind) {
        case VarType::UI1:
            v.bits_.u = static_cast<std::uint8_t>(value);
            break;
        case VarType::UI2:
            v.bits_.u = static_cast<std::uint16_t>(value);
            break;
        case VarType::UI4:
            v.bits_.u = static_cast<std::uint32_t>(value);
            break;
        case VarType::UI8:
            v.bits_.u = value;
            break;
        default:
            throw AutomationError("UnsignedInteger needs UI1, UI2, UI4 or UI8");
    }
    return v;
}

Variant Variant::Single(float value) {
    Variant v;
    v.type_ = VarType::R4;
    v.bits_.f = value;
    return v;
}

Variant Variant::CurrencyScaled(std::int64_t scaledBy10000) {
    Variant v;
    v.type_ = VarType::Currency;
    v.bits_.i = scaledBy10000;
    return v;
}

Variant Variant::Date(double serial) {
    Variant v;
    v.type_ = VarType::Date;
    v.bits_.d = serial;
    return v;
}

Variant Variant::ErrorCode(std::int32_t code) {
    Variant v;
    v.type_ = VarType::Error;
    v.bits_.i = code;
    return v;
}

Variant Variant::FromUtf8(std::string_view utf8) {
    return Variant(util::Utf8ToUtf16(utf8));
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.type_ != b.type_)
        return false;
    switch (a.type_) {
        case VarType::Empty:
        case VarType::Null:
            return true;
        case VarType::R4:
            return a.bits_.f == b.bits_.f;
        case VarType::R8:
        case VarType::Date:
            return a.bits_.d == b.bits_.d;
        case VarType::Bool:
            return a.bits_.b == b.bits_.b;
        case VarType::String:
            return a.text_ == b.text_;
        case VarType::Object:
            return a.object_ == b.object_;
        case VarType::UI1:
        case VarType::UI2:
        case VarType::UI4:
        case VarType::UI8:
            return a.bits_.u == b.bits_.u;
        default:
            return a.bits_.i == b.bits_.i;
    }
}

std::string DescribeVariant(const Variant& value) {
    std::string out = VarTypeName(value.type());
    char buf[64];
    switch (value.type()) {
        case VarType::Empty:
        case VarType::Null:
            break;
        case VarType::R4:
            std::snprintf(buf, sizeof buf, " %.9g", static_cast<double>(value.singleValue()));
            out += buf;
            break;
        case VarType::R8:
        case VarType::Date:
            std::snprintf(buf, sizeof buf, " %.17g", value.doubleValue());
            out += buf;
            break;
        case VarType::Bool:
            out += value.boolValue() ? " true" : " false";
            break;
        case VarType::String:
            out += " \"" + util::Utf16ToUtf8(value.text()) + "\"";
            break;
        case VarType::Object:
            out += value.object() ? " <object>" : " <nothing>";
            break;
        case VarType::UI1:
        case VarType::UI2:
        case VarType::UI4:
        case VarType::UI8:
            out += " " + std::to_string(value.unsignedValue());
            break;
        default:
            out += " " + std::to_string(value.signedValue());
            break;
    }
    return out;
}

}  // namespace automation

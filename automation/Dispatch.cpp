#include "automation/Dispatch.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace automation {

const char* InvokeKindName(InvokeKind kind) {
    switch (kind) {
        case InvokeKind::Method:
            return "call";
        case InvokeKind::PropertyGet:
            return "get";
        case InvokeKind::MethodOrPropertyGet:
            return "get";
        case InvokeKind::PropertyPut:
            return "put";
    }
    return "?";
}

bool MemberNameEquals(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x + ('a' - 'A'));
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y + ('a' - 'A'));
        if (x != y)
            return false;
    }
    return true;
}

void ThrowUnknownMember(std::string_view objectKind, std::string_view member) {
    throw AutomationError(std::string(objectKind) + " has no member \"" + std::string(member) +
                          "\"");
}

std::int32_t ArgToInt32(const Arg& arg, std::string_view what) {
    const Variant& v = arg.value();
    auto fail = [&]() -> std::int32_t {
        throw AutomationError(std::string(what) + ": " + DescribeVariant(v) +
                              " is not a whole number");
    };
    auto fromWide = [&](long double x) -> std::int32_t {
        if (!(x >= std::numeric_limits<std::int32_t>::min() &&
              x <= std::numeric_limits<std::int32_t>::max()))
            return fail();
        return static_cast<std::int32_t>(x);
    };
    switch (v.type()) {
        case VarType::I1:
        case VarType::I2:
        case VarType::I4:
        case VarType::I8:
            return fromWide(static_cast<long double>(v.signedValue()));
        case VarType::UI1:
        case VarType::UI2:
        case VarType::UI4:
        case VarType::UI8:
            return fromWide(static_cast<long double>(v.unsignedValue()));
        case VarType::R4:
        case VarType::R8: {
            double d = v.type() == VarType::R4 ? v.singleValue() : v.doubleValue();
            if (std::trunc(d) != d)
                return fail();
            return fromWide(d);
        }
        case VarType::Bool:
            return v.boolValue() ? -1 : 0;
        case VarType::String: {
            std::string ascii;
            for (char16_t c : v.text()) {
                if (c > 0x7f)
                    return fail();
                ascii.push_back(static_cast<char>(c));
            }
            std::int32_t out = 0;
            auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), out);
            if (ec != std::errc() || end != ascii.data() + ascii.size() || ascii.empty())
                return fail();
            return out;
        }
        default:
            return fail();
    }
}

Variant Get(DispatchObject& object, std::string_view member, std::span<const Arg> args) {
    return object.Invoke(
        member, args.empty() ? InvokeKind::MethodOrPropertyGet : InvokeKind::PropertyGet, args);
}

Variant Get(DispatchObject& object, std::string_view member, std::initializer_list<Arg> args) {
    return Get(object, member, std::span<const Arg>(args.begin(), args.size()));
}

void Put(DispatchObject& object, std::string_view member, Arg value) {
    object.Invoke(member, InvokeKind::PropertyPut, std::span<const Arg>(&value, 1));
}

void Put(DispatchObject& object, std::string_view member, std::initializer_list<Arg> indexes,
         Arg value) {
    std::vector<Arg> args(indexes.begin(), indexes.end());
    args.push_back(std::move(value));
    object.Invoke(member, InvokeKind::PropertyPut, args);
}

void Call(DispatchObject& object, std::string_view member, std::span<const Arg> args) {
    object.Invoke(member, InvokeKind::Method, args);
}

void Call(DispatchObject& object, std::string_view member, std::initializer_list<Arg> args) {
    Call(object, member, std::span<const Arg>(args.begin(), args.size()));
}

std::shared_ptr<DispatchObject> AsObject(const Variant& value, std::string_view what) {
    if (value.type() != VarType::Object || !value.object())
        throw AutomationError(std::string(what) + " gave no object (" + DescribeVariant(value) +
                              ")");
    return value.object();
}

}  // namespace automation

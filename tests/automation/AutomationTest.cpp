#include <gtest/gtest.h>

#include "automation/ClassRegistry.h"
#include "automation/Dispatch.h"
#include "automation/OleDate.h"

namespace {

using automation::Arg;
using automation::AutomationError;
using automation::InvokeKind;
using automation::Variant;

// An object with one property, "Count", and a method "Bump" that writes back through a
// by-reference argument.
class Counter : public automation::DispatchObject {
  public:
    int count = 0;
    InvokeKind lastKind{};
    Variant Invoke(std::string_view member, InvokeKind kind, std::span<const Arg> args) override {
        lastKind = kind;
        if (automation::MemberNameEquals(member, "Count")) {
            if (kind == InvokeKind::PropertyPut) {
                count = automation::ArgToInt32(args.back(), "Count");
                return {};
            }
            return Variant(std::int32_t{count});
        }
        if (automation::MemberNameEquals(member, "Bump")) {
            if (args.empty() || !args[0].byRef())
                throw AutomationError("Bump needs a reference");
            *args[0].reference() = Variant(std::int32_t{++count});
            return {};
        }
        automation::ThrowUnknownMember("Counter", member);
    }
};

TEST(Dispatch, MembersMatchWithoutLetterCase) {
    Counter c;
    automation::Put(c, "count", Arg::ByVal(std::int32_t{7}));
    EXPECT_EQ(automation::Get(c, "COUNT").signedValue(), 7);
    EXPECT_EQ(c.lastKind, InvokeKind::MethodOrPropertyGet);
    EXPECT_THROW(automation::Get(c, "Counts"), AutomationError);
    EXPECT_FALSE(automation::MemberNameEquals("activeworkbook", "ActiveWorkbooks"));
    EXPECT_TRUE(automation::MemberNameEquals("activeworkbook", "ActiveWorkBook"));
}

TEST(Dispatch, ByReferenceArgumentsReachTheCallersVariable) {
    Counter c;
    Variant mine(std::int32_t{0});
    automation::Call(c, "Bump", {Arg::ByRef(mine)});
    EXPECT_EQ(mine.signedValue(), 1);
    EXPECT_THROW(automation::Call(c, "Bump", {Arg::ByVal(mine)}), AutomationError);
}

TEST(Dispatch, ArgumentsCoerceToWholeNumbers) {
    struct Case {
        Variant value;
        std::optional<std::int32_t> expected;
    };
    const Case cases[] = {
        {Variant(std::int32_t{5}), 5},
        {Variant(3.0), 3},
        {Variant(3.5), std::nullopt},
        {Variant(true), -1},
        {Variant::FromUtf8("12"), 12},
        {Variant::FromUtf8("12a"), std::nullopt},
        {Variant::SignedInteger(automation::VarType::I8, 1LL << 40), std::nullopt},
        {Variant(), std::nullopt},
    };
    for (const Case& c : cases) {
        Arg a = Arg::ByVal(c.value);
        if (c.expected) {
            EXPECT_EQ(automation::ArgToInt32(a, "x"), *c.expected);
        } else {
            EXPECT_THROW(automation::ArgToInt32(a, "x"), AutomationError);
        }
    }
}

TEST(ClassRegistry, CreatesFromTheRegisteredServerAndRefusesOthers) {
    automation::ClassRegistry registry;
    int made = 0;
    registry.Register("Demo.Counter", [&] {
        ++made;
        return std::make_shared<Counter>();
    });
    auto a = registry.Create("demo.COUNTER");
    auto b = registry.Create("Demo.Counter");
    EXPECT_NE(a, b);  // each create is a new instance of its own
    EXPECT_EQ(made, 2);
    EXPECT_THROW(registry.Create("Other.Thing"), AutomationError);
    registry.Unregister("DEMO.counter");
    EXPECT_THROW(registry.Create("Demo.Counter"), AutomationError);
}

TEST(ClassRegistry, ScopedRegistrationRestoresWhatWasThere) {
    automation::ClassRegistry registry;
    registry.Register("X.Y", [] { return std::make_shared<Counter>(); });
    auto original = registry.Create("X.Y");
    {
        automation::ScopedRegistration guard(
            "X.Y", [] { return nullptr; }, registry);
        EXPECT_THROW(registry.Create("X.Y"), AutomationError);  // a server that made nothing
    }
    EXPECT_NO_THROW(registry.Create("X.Y"));
}

TEST(OleDate, SerialsAndCalendarAgree) {
    using automation::DateTimeParts;
    struct Case {
        double serial;
        DateTimeParts parts;
    };
    const Case cases[] = {
        {0.0, {1899, 12, 30, 0, 0, 0}},    {1.0, {1899, 12, 31, 0, 0, 0}},
        {2.0, {1900, 1, 1, 0, 0, 0}},      {45296.5, {2024, 1, 5, 12, 0, 0}},
        {-1.25, {1899, 12, 29, 6, 0, 0}},  {2958465.0, {9999, 12, 31, 0, 0, 0}},
        {-657434.0, {100, 1, 1, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(automation::OleDateToParts(c.serial), c.parts) << c.serial;
        auto back = automation::OleDateFromParts(c.parts);
        ASSERT_TRUE(back.has_value());
        EXPECT_DOUBLE_EQ(*back, c.serial);
    }
    EXPECT_FALSE(automation::OleDateToParts(2958466.0));
    EXPECT_FALSE(automation::OleDateFromParts({2023, 2, 29, 0, 0, 0}));
    // A time that rounds up to midnight moves to the next day.
    EXPECT_EQ(automation::OleDateToParts(1.0 - 1e-9), (DateTimeParts{1899, 12, 31, 0, 0, 0}));
}

}  // namespace

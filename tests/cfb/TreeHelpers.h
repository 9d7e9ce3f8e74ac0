#pragma once

#include <gtest/gtest.h>

#include <string>

#include "spreadsheet/cfb/CompoundFile.h"

namespace cfbtest {

using spreadsheet::cfb::Entry;

inline Entry Stream(std::string name, std::string data) {
    Entry e;
    e.kind = Entry::Kind::Stream;
    e.name = std::move(name);
    e.data = std::move(data);
    return e;
}

inline Entry Storage(std::string name, std::vector<Entry> children) {
    Entry e;
    e.kind = Entry::Kind::Storage;
    e.name = std::move(name);
    e.children = std::move(children);
    return e;
}

// Bytes that differ from sector to sector, so a misplaced sector shows.
inline std::string Pattern(std::size_t size, unsigned seed = 1) {
    std::string s(size, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return s;
}

struct Compare {
    bool metadata = true;  // state bits and times too (libgsf does not report them)
};

// Children are compared as sets by name: readers list them in different orders.
inline void ExpectSameTree(const Entry& expected, const Entry& actual, Compare how = {},
                           const std::string& where = "/") {
    SCOPED_TRACE(where);
    EXPECT_EQ(expected.kind, actual.kind);
    if (expected.kind == Entry::Kind::Stream) {
        EXPECT_EQ(expected.data.size(), actual.data.size());
        EXPECT_TRUE(expected.data == actual.data) << "stream contents differ";
    } else {
        EXPECT_EQ(expected.clsid, actual.clsid);
    }
    if (how.metadata) {
        EXPECT_EQ(expected.stateBits, actual.stateBits);
        EXPECT_EQ(expected.creationTime, actual.creationTime);
        EXPECT_EQ(expected.modifiedTime, actual.modifiedTime);
    }
    ASSERT_EQ(expected.children.size(), actual.children.size());
    for (const Entry& child : expected.children) {
        auto it = std::find_if(actual.children.begin(), actual.children.end(),
                               [&](const Entry& e) { return e.name == child.name; });
        ASSERT_NE(it, actual.children.end()) << "missing " << where << child.name;
        ExpectSameTree(child, *it, how, where + child.name + "/");
    }
}

}  // namespace cfbtest

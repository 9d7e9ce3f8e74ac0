#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

// FindFiles takes a plain function as its callback, so the test callback keeps what it was
// given, and when to stop or throw, in one global recorder that each test starts afresh.
struct SearchCall {
    std::string path;
    int kind;
    bool operator==(const SearchCall&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const SearchCall& call) {
    return out << "{\"" << call.path << "\", " << call.kind << "}";
}

struct SearchRecorder {
    std::vector<SearchCall> calls;
    SearchCall stopAt{"", -1};   // sets the stop flag on this call
    SearchCall throwAt{"", -1};  // throws on this call

    static SearchRecorder& Get() {
        static SearchRecorder recorder;
        return recorder;
    }

    static void Record(const std::string& path, int kind, bool& stop) {
        SearchRecorder& recorder = Get();
        recorder.calls.push_back({path, kind});
        if (recorder.throwAt == SearchCall{path, kind})
            throw std::runtime_error("callback failed on " + path);
        if (recorder.stopAt == SearchCall{path, kind})
            stop = true;
    }

    // Only the reports of found files.
    std::vector<std::string> Found() const {
        std::vector<std::string> found;
        for (const SearchCall& call : calls)
            if (call.kind == 0)
                found.push_back(call.path);
        return found;
    }
};

class SearchTest : public ::testing::Test {
  protected:
    SearchTest() { SearchRecorder::Get() = SearchRecorder(); }
    SearchRecorder& recorder = SearchRecorder::Get();
};

#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "automation/Dispatch.h"

namespace automation {

// Maps ProgIDs to the servers that create their objects, as the platform's class registry does.
// ProgIDs match without regard to letter case.
class ClassRegistry {
  public:
    using Factory = std::function<std::shared_ptr<DispatchObject>()>;

    static ClassRegistry& Global();

    // Registers (or replaces) the server for progId; returns the factory it replaced, if any.
    Factory Register(std::string_view progId, Factory factory);
    void Unregister(std::string_view progId);
    bool IsRegistered(std::string_view progId) const;

    // A new object of its own from the server registered for progId; fails when none is.
    std::shared_ptr<DispatchObject> Create(std::string_view progId) const;

  private:
    struct Entry {
        std::string progId;
        Factory factory;
    };
    const Entry* Find(std::string_view progId) const;
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

// Creates an object from a ProgID through the global registry.
std::shared_ptr<DispatchObject> CreateObject(std::string_view progId);

// Puts a server in place for the life of the guard, then restores what was there (tests).
class ScopedRegistration {
  public:
    ScopedRegistration(std::string_view progId, ClassRegistry::Factory factory,
                       ClassRegistry& registry = ClassRegistry::Global());
    ~ScopedRegistration();
    ScopedRegistration(const ScopedRegistration&) = delete;
    ScopedRegistration& operator=(const ScopedRegistration&) = delete;

  private:
    ClassRegistry& registry_;
    std::string progId_;
    ClassRegistry::Factory previous_;
};

}  // namespace automation

#include "automation/ClassRegistry.h"

namespace automation {

ClassRegistry& ClassRegistry::Global() {
    static ClassRegistry registry;
    return registry;
}

const ClassRegistry::Entry* ClassRegistry::Find(std::string_view progId) const {
    for (const Entry& e : entries_)
        if (MemberNameEquals(e.progId, progId))
            return &e;
    return nullptr;
}

ClassRegistry::Factory ClassRegistry::Register(std::string_view progId, Factory factory) {
    std::lock_guard lock(mutex_);
    for (Entry& e : entries_) {
        if (MemberNameEquals(e.progId, progId)) {
            Factory previous = std::move(e.factory);
            e.factory = std::move(factory);
            return previous;
        }
    }
    entries_.push_back({std::string(progId), std::move(factory)});
    return {};
}

void ClassRegistry::Unregister(std::string_view progId) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) { return MemberNameEquals(e.progId, progId); });
}

bool ClassRegistry::IsRegistered(std::string_view progId) const {
    std::lock_guard lock(mutex_);
    return Find(progId) != nullptr;
}

std::shared_ptr<DispatchObject> ClassRegistry::Create(std::string_view progId) const {
    Factory factory;
    {
        std::lock_guard lock(mutex_);
        const Entry* e = Find(progId);
        if (!e || !e->factory)
            throw AutomationError("no server is registered for \"" + std::string(progId) + "\"");
        factory = e->factory;
    }
    std::shared_ptr<DispatchObject> object = factory();
    if (!object)
        throw AutomationError("the server for \"" + std::string(progId) + "\" made no object");
    return object;
}

std::shared_ptr<DispatchObject> CreateObject(std::string_view progId) {
    return ClassRegistry::Global().Create(progId);
}

ScopedRegistration::ScopedRegistration(std::string_view progId, ClassRegistry::Factory factory,
                                       ClassRegistry& registry)
    : registry_(registry), progId_(progId) {
    previous_ = registry_.Register(progId_, std::move(factory));
}

ScopedRegistration::~ScopedRegistration() {
    if (previous_)
        registry_.Register(progId_, std::move(previous_));
    else
        registry_.Unregister(progId_);
}

}  // namespace automation

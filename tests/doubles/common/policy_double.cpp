#include "policy_double.h"

namespace doubles {

PolicyWorld& Policies() {
    static PolicyWorld world;
    return world;
}

// The key Group Policy writes, spelled here and not taken from the code under test.
void SetPolicy(platform::PolicyScope scope, const std::wstring& name, const StoredPolicy& value) {
    Policies().values[{scope, L"Software\\Policies\\Orvantis", name}] = value;
}

void ResetPolicies() {
    Policies() = PolicyWorld();
}

}  // namespace doubles

namespace platform {

// As RegGetValueW answers with a type restriction: a value of another type is refused.
PolicyValue ReadPolicyValue(PolicyScope scope, const std::wstring& key, const std::wstring& name,
                            PolicyType type) {
    ++doubles::Policies().reads;
    const auto found = doubles::Policies().values.find({scope, key, name});
    if (found == doubles::Policies().values.end())
        return {};
    const doubles::StoredPolicy& stored = found->second;
    if (stored.unreadable)
        return {PolicyValue::State::Unreadable, {}, 0, stored.unreadable};
    const bool text = stored.type == kRegSz || stored.type == kRegExpandSz;
    if (type == PolicyType::Text ? !text : stored.type != kRegDword)
        return {PolicyValue::State::OtherType, {}, 0, 0};
    return {PolicyValue::State::Read, stored.text, stored.number, 0};
}

}  // namespace platform

#include "RollbackRecord.h"

#include <algorithm>

namespace rollback {

namespace {

std::wstring WithoutTrailingBackslash(std::wstring key) {
    while (!key.empty() && key.back() == L'\\')
        key.pop_back();
    return key;
}

// Empty above a top-level key: the root itself is never created or deleted.
std::wstring Parent(const std::wstring& key) {
    const auto cut = key.rfind(L'\\');
    return cut == std::wstring::npos ? std::wstring() : key.substr(0, cut);
}

}  // namespace

std::optional<basRegistry::WriteFailure> Record::WriteString(const std::wstring& sSchluessel,
                                                             const std::wstring& sWertName,
                                                             const std::wstring& sText) {
    if (auto failure = Remember(sSchluessel, sWertName))
        return failure;
    return basRegistry::fnc_Reg_String_Schreiben(root_, sSchluessel, sWertName, sText);
}

std::optional<basRegistry::WriteFailure> Record::WriteNumber(const std::wstring& sSchluessel,
                                                             const std::wstring& sWertName,
                                                             std::int32_t lZahl) {
    if (auto failure = Remember(sSchluessel, sWertName))
        return failure;
    return basRegistry::fnc_Reg_Num_Schreiben(root_, sSchluessel, sWertName, lZahl);
}

std::vector<FailedStep> Record::Replay() {
    std::vector<FailedStep> failed;
    for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
        std::optional<basRegistry::WriteFailure> failure;
        if (!step->valueName)
            failure = basRegistry::DeleteKey(root_, step->key);
        else if (step->previousData)
            failure =
                basRegistry::WriteStored(root_, step->key, *step->valueName, *step->previousData);
        else
            failure = basRegistry::DeleteValue(root_, step->key, *step->valueName);
        if (failure) {
            failed.push_back(
                {step->valueName ? step->key + L"\\" + *step->valueName : step->key, *failure});
        }
    }
    steps_.clear();
    existingKeys_.clear();
    return failed;
}

std::optional<basRegistry::WriteFailure> Record::Remember(const std::wstring& sSchluessel,
                                                          const std::wstring& sWertName) {
    const std::wstring key = WithoutTrailingBackslash(sSchluessel);
    if (Remembered(key, sWertName))
        return std::nullopt;
    if (auto failure = RememberMissingKeys(key))
        return failure;
    std::optional<basRegistry::StoredValue> previous;
    // In a key this run creates, every value was absent.
    if (existingKeys_.count(key)) {
        if (auto failure = basRegistry::ReadStored(root_, key, sWertName, previous))
            return failure;
    }
    steps_.push_back({key, sWertName, std::move(previous)});
    return std::nullopt;
}

// Walks up from the key to the first one that exists: the write creates every key below it, the
// outermost first, so the replay deletes them innermost first.
std::optional<basRegistry::WriteFailure> Record::RememberMissingKeys(const std::wstring& key) {
    std::vector<std::wstring> missing;
    for (std::wstring k = key;
         !k.empty() && !existingKeys_.count(k) && !Remembered(k, std::nullopt); k = Parent(k)) {
        bool exists = false;
        if (auto failure = basRegistry::KeyExists(root_, k, exists))
            return failure;
        if (exists) {
            existingKeys_.insert(k);
            break;
        }
        missing.push_back(k);
    }
    for (auto k = missing.rbegin(); k != missing.rend(); ++k)
        steps_.push_back({*k, std::nullopt, std::nullopt});
    return std::nullopt;
}

bool Record::Remembered(const std::wstring& key,
                        const std::optional<std::wstring>& valueName) const {
    return std::any_of(steps_.begin(), steps_.end(), [&](const Step& step) {
        return step.key == key && step.valueName == valueName;
    });
}

}  // namespace rollback

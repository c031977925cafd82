#include "Zyl.Test.Env.h"

#include <utility>

namespace Zyl::Testing {

TScopedEnvVar::TScopedEnvVar(std::u16string Name, const std::optional<std::u16string>& Value)
    : name_(std::move(Name)), previous_(GetEnvVar(name_)) {
    SetEnvVar(name_, Value);
}

TScopedEnvVar::~TScopedEnvVar() {
    SetEnvVar(name_, previous_);
}

} // namespace Zyl::Testing

// Environment variables for one test: set or cleared on construction and
// put back as they were afterwards, in the process environment that the
// library's ReadEnvVar reads.
#pragma once

#include <optional>
#include <string>

namespace Zyl::Testing {

// Nullopt removes the variable.
void SetEnvVar(const std::u16string& Name, const std::optional<std::u16string>& Value);
std::optional<std::u16string> GetEnvVar(const std::u16string& Name);

class TScopedEnvVar {
public:
    TScopedEnvVar(std::u16string Name, const std::optional<std::u16string>& Value);
    ~TScopedEnvVar();
    TScopedEnvVar(const TScopedEnvVar&) = delete;
    TScopedEnvVar& operator=(const TScopedEnvVar&) = delete;

private:
    std::u16string name_;
    std::optional<std::u16string> previous_;
};

} // namespace Zyl::Testing

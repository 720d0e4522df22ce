#pragma once

#include <memory>
#include <string>

namespace lurkel {

// One folder waiting on the size calculation's stack; prevItem is the folder below it.
class StackItem {
public:
    explicit StackItem(std::string path) : m_path(std::move(path)) {}

    const std::string &path() const { return m_path; }
    std::unique_ptr<StackItem> prevItem;

private:
    std::string m_path;
};

} // namespace lurkel

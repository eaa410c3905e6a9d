#pragma once
// Small helpers shared by the window tests: files written and read whole, and a named child
// control found (a missing one fails the test).

#include <gtest/gtest.h>

#include <QObject>
#include <QString>
#include <QWidget>

#include <fstream>
#include <iterator>
#include <string>

namespace sivaro::testing {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

template <typename T = QWidget>
T* child(const QObject& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

}  // namespace sivaro::testing

#pragma once
// The Brazilian desktop locale, with its decimal comma, set in the C library as a window toolkit
// sets it from LANG, for as long as the object lives. scripts/deps generates the locale; where it
// is missing the test fails, naming the remedy, rather than passing without a comma.

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace sivaro::testing {

inline constexpr const char* kCommaLocale = "pt_BR.UTF-8";

class CommaLocale {
  public:
    CommaLocale() {
        m_previous = std::setlocale(LC_ALL, nullptr);
        m_active = std::setlocale(LC_ALL, kCommaLocale) != nullptr;
        EXPECT_TRUE(m_active) << "the locale " << kCommaLocale
                              << " is not installed: run scripts/deps as root";
        if (m_active) {
            EXPECT_EQ(std::string(std::localeconv()->decimal_point), ",");
        }
    }
    ~CommaLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool active() const { return m_active; }

  private:
    std::string m_previous;
    bool m_active = false;
};

}  // namespace sivaro::testing

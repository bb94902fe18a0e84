#pragma once
// Small helpers shared by the OpenSSL tests.
#include <gtest/gtest.h>

#include <string>

#include "net/CalyxLIBEAY.h"
#include "net/CalyxSSLEAY.h"
#include "rtl/Exception.h"

namespace ssltest {

// The message of what the call raised, or "(nothing raised)".
template <class E = rtl::Exception, class F>
std::string MessageOf(F call)
{
    try {
        call();
    } catch (const E& e) {
        return e.Message();
    }
    return "(nothing raised)";
}

// The message equals the expected text, or begins with it.
inline void ExpectMessage(const std::string& message, const std::string& expected, bool prefix)
{
    if (prefix)
        EXPECT_EQ(message.substr(0, expected.size()), expected) << message;
    else
        EXPECT_EQ(message, expected);
}

// How many entry pointers of each library are set.
inline int SsleayEntriesSet()
{
    int n = 0;
#define CX_COUNT(name, result, params) n += calyx::ssleay::name != nullptr;
    CX_SSLEAY_ENTRIES(CX_COUNT)
#undef CX_COUNT
    return n;
}

inline int LibeayEntriesSet()
{
    int n = 0;
#define CX_COUNT(name, result, params) n += calyx::libeay::name != nullptr;
    CX_LIBEAY_ENTRIES(CX_COUNT)
#undef CX_COUNT
    return n;
}

}  // namespace ssltest

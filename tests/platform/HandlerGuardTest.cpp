// Standard library
#include <new>
#include <stdexcept>

// Ours
#include "HandlerGuard.h"
#include "MessageBox.h"
#include "RuntimeError.h"
#include "ServiceFakes.h"

#include <gtest/gtest.h>

namespace {

TEST(HandlerGuardTest, EscapedErrorsAreShownWithNumberAndDescription) {
    const std::shared_ptr<fakes::MessageRecorder> recorder =
        std::make_shared<fakes::MessageRecorder>();
    int ran = 0;
    EXPECT_TRUE(HandlerGuard::run(*recorder, [&] { ++ran; }));
    EXPECT_TRUE(recorder->records().empty());

    EXPECT_FALSE(HandlerGuard::run(*recorder, [&] {
        ++ran;
        throw RuntimeError(RuntimeError::Overflow, QStringLiteral("Overflow"));
    }));
    EXPECT_FALSE(HandlerGuard::run(*recorder, [] { throw std::bad_alloc(); }));
    EXPECT_FALSE(HandlerGuard::run(*recorder, [] { throw std::logic_error("broken"); }));
    EXPECT_FALSE(HandlerGuard::run(*recorder, [] { throw 42; }));

    EXPECT_EQ(ran, 2);
    ASSERT_EQ(recorder->records().size(), 4u);
    EXPECT_EQ(recorder->records()[0].text, QStringLiteral("6 : Overflow"));
    EXPECT_EQ(recorder->records()[1].text, QStringLiteral("7 : Out of memory"));
    EXPECT_EQ(recorder->records()[2].text, QStringLiteral("51 : broken"));
    EXPECT_EQ(recorder->records()[3].text, QStringLiteral("51 : Internal error"));
    for (const fakes::MessageRecorder::Record& record : recorder->records()) {
        EXPECT_EQ(record.style, MessageBox::Exclamation);
        EXPECT_EQ(record.title, QStringLiteral("エラー"));
    }
}

} // namespace

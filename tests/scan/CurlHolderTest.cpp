#include "CurlHolder.h"

#include "RawServer.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <cstring>
#include <utility>

using GetSource::CurlHolder;

namespace {

// Makes curl fail on the holder's handle, so that the error buffer has something in it.
void FailOnPurpose(const CurlHolder &holder)
{
    const QByteArray url = QStringLiteral("http://127.0.0.1:%1/").arg(TestSupport::RawServer::UnusedPort()).toUtf8();
    curl_easy_setopt(holder.handle(), CURLOPT_URL, url.constData());
    curl_easy_setopt(holder.handle(), CURLOPT_PROXY, "");
    ASSERT_NE(curl_easy_perform(holder.handle()), CURLE_OK);
}

TEST(CurlHolderTest, OwnsAHandleAndAnEmptyErrorText)
{
    const CurlHolder holder;
    EXPECT_NE(holder.handle(), nullptr);
    EXPECT_STREQ(holder.error(), "");
}

TEST(CurlHolderTest, ErrorTextComesFromCurlAndCanBeCleared)
{
    CurlHolder holder;
    FailOnPurpose(holder);
    EXPECT_GT(std::strlen(holder.error()), 0u);
    holder.clearError();
    EXPECT_STREQ(holder.error(), "");
}

TEST(CurlHolderTest, MoveHandsOverHandleAndErrorBuffer)
{
    CurlHolder first;
    CURL *handle = first.handle();
    FailOnPurpose(first);
    const QByteArray error = first.error();
    ASSERT_FALSE(error.isEmpty());

    CurlHolder second(std::move(first));
    EXPECT_EQ(first.handle(), nullptr); // NOLINT(bugprone-use-after-move)
    EXPECT_STREQ(first.error(), "");
    EXPECT_EQ(second.handle(), handle);
    EXPECT_EQ(QByteArray(second.error()), error);

    // curl still writes to the buffer it was given, which is now the second holder's.
    second.clearError();
    FailOnPurpose(second);
    EXPECT_GT(std::strlen(second.error()), 0u);

    CurlHolder third;
    third = std::move(second);
    EXPECT_EQ(third.handle(), handle);
    EXPECT_EQ(second.handle(), nullptr); // NOLINT(bugprone-use-after-move)
    CurlHolder &same = third;
    third = std::move(same);
    EXPECT_EQ(third.handle(), handle);
}

} // namespace

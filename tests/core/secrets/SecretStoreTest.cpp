#include <gtest/gtest.h>

#include <sys/stat.h>

#include "SecretServicePeer.h"
#include "TestSupport.h"
#include "secrets/LibSecretStore.h"
#include "secrets/SecretStore.h"

using namespace tolvan;
using namespace tolvan::test;

TEST(SecretStoreTest, PasswordFileMustBeTheOwnersAlone)
{
    TempDir dir;
    dir.write("pw", "s3cret pass\r\nsecond line\r\n");
    const std::string path = dir.file("pw");

    ::chmod(path.c_str(), 0600);
    const auto ok = readPasswordFile(path);
    ASSERT_TRUE(ok.ok()) << ok.error().message;
    EXPECT_EQ(ok.value(), "s3cret pass");

    for (const mode_t mode : {0640, 0604, 0644}) {
        ::chmod(path.c_str(), mode);
        const auto refused = readPasswordFile(path);
        ASSERT_FALSE(refused.ok()) << mode;
        EXPECT_NE(refused.error().message.find("can be read by others"), std::string::npos) << refused.error().message;
        EXPECT_NE(refused.error().message.find("chmod 600"), std::string::npos);
    }

    dir.write("empty", "\n");
    ::chmod(dir.file("empty").c_str(), 0600);
    EXPECT_FALSE(readPasswordFile(dir.file("empty")).ok());
    EXPECT_FALSE(readPasswordFile(dir.file("missing")).ok());
    EXPECT_FALSE(readPasswordFile(dir.path()).ok()) << "a directory is no password file";
}

TEST(SecretStoreTest, MailPasswordKeyIgnoresPortAndBlanks)
{
    EXPECT_EQ(smtpPasswordKey("me@example.org", " mail.example.org:587"), "smtp:me@example.org@mail.example.org");
    EXPECT_EQ(smtpPasswordKey("me", "mail.example.org"), smtpPasswordKey("me", "mail.example.org:465"));
    EXPECT_NE(smtpPasswordKey("me", "mail.example.org"), smtpPasswordKey("you", "mail.example.org"));
}

TEST(SecretStoreTest, SecretServiceRoundTrip)
{
    SecretServicePeer::instance();
    LibSecretStore store;
    const std::string key = smtpPasswordKey("me@example.org", "mail.example.org:587");

    auto missing = store.read(key);
    ASSERT_TRUE(missing.ok()) << missing.error().message;
    EXPECT_FALSE(missing.value().has_value());

    ASSERT_TRUE(store.write(key, "p\xC3\xA4ss word").ok());
    ASSERT_TRUE(store.write(smtpPasswordKey("other", "mail.example.org"), "not this one").ok());
    auto found = store.read(key);
    ASSERT_TRUE(found.ok()) << found.error().message;
    EXPECT_EQ(found.value(), std::optional<std::string>("p\xC3\xA4ss word"));

    // Another program's items under the same key are not ours.
    auto foreign = LibSecretStore("SomeoneElse").read(key);
    ASSERT_TRUE(foreign.ok());
    EXPECT_FALSE(foreign.value().has_value());

    ASSERT_TRUE(store.write(key, "changed").ok());
    EXPECT_EQ(store.read(key).value(), std::optional<std::string>("changed"));
    ASSERT_TRUE(store.remove(key).ok());
    EXPECT_FALSE(store.read(key).value().has_value());
    EXPECT_TRUE(store.remove(key).ok());
}

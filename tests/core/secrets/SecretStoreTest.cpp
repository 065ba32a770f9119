#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <map>

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

namespace {

// A store that holds what the test gives it, or cannot be reached at all.
class FakeStore final : public SecretStore {
public:
    std::map<std::string, std::string> secrets;
    bool reachable = true;
    Result<std::optional<std::string>> read(const std::string& key) override
    {
        if (!reachable)
            return Error{EIO, "The secret service is not running."};
        const auto found = secrets.find(key);
        return found == secrets.end() ? std::optional<std::string>() : std::optional<std::string>(found->second);
    }
    Status write(const std::string&, const std::string&) override { return Ok{}; }
    Status remove(const std::string&) override { return Ok{}; }
};

struct KeysFileVariable {
    explicit KeysFileVariable(const std::string& path) { ::setenv("TOLVAN_RANK_KEYS_FILE", path.c_str(), 1); }
    ~KeysFileVariable() { ::unsetenv("TOLVAN_RANK_KEYS_FILE"); }
};

}  // namespace

TEST(SecretStoreTest, RankKeysComeFromTheStoreElseFromAnOwnerOnlyFile)
{
    FakeStore store;
    store.secrets[rankApiKeyKey("Brave Search")] = "from-store";
    ::unsetenv("TOLVAN_RANK_KEYS_FILE");
    EXPECT_EQ(unattendedRankApiKey(&store, "Brave Search").value(), "from-store");
    EXPECT_EQ(unattendedRankApiKey(&store, "Marginalia").value(), "") << "no key anywhere: none, and no error";
    store.reachable = false;
    const auto unreachable = unattendedRankApiKey(&store, "Marginalia");
    ASSERT_FALSE(unreachable.ok());
    EXPECT_NE(unreachable.error().message.find("not running"), std::string::npos) << unreachable.error().message;

    TempDir dir;
    dir.write("keys", "# for cron\r\nbrave search = k=1 \r\n\r\nMy Engine=mine\r\nnot a key line\r\n");
    const std::string path = dir.file("keys");
    KeysFileVariable variable(path);
    ::chmod(path.c_str(), 0600);
    EXPECT_EQ(unattendedRankApiKey(&store, "Brave Search").value(), "k=1") << "names without regard to case";
    EXPECT_EQ(unattendedRankApiKey(nullptr, "My Engine").value(), "mine");
    EXPECT_EQ(unattendedRankApiKey(&store, "Marginalia").value(), "") << "a file without the engine: no key";
    store.reachable = true;
    EXPECT_EQ(unattendedRankApiKey(&store, "Brave Search").value(), "from-store") << "the store comes first";

    store.secrets.clear();
    ::chmod(path.c_str(), 0640);
    const auto refused = unattendedRankApiKey(&store, "Brave Search");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().message, "The rank keys file " + path +
                                           " can be read by others (mode 0640); make it readable by its owner only "
                                           "(chmod 600).");
}
